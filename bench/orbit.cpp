// One drawing of the satellites view with every entry filled, and the period
// fold for elements of various ages: the view redraws every 2 seconds on the
// user-interface thread.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "messages/SatelliteTable.h"
#include "orbit/Passes.h"
#include "orbit/Predict.h"
#include "orbit/SatelliteRows.h"
#include "platform/Clock.h"

namespace {

constexpr int64_t kNow = 1700000000;

CSatelliteTable FullTable(int64_t age)
{
    CSatelliteTable table;
    for (int code = 0; code < CSatelliteTable::kEntries; ++code) {
        table.m_nEqx[code] = static_cast<int32_t>(kNow - age - code * 97);
        table.m_dEql[code] = 10.0 + code * 5.3;
        table.m_dPer[code] = 6000.0 + code * 11.7;
        table.m_dInc[code] = 98.0 + code * 0.05;
    }
    return table;
}

void BM_SatelliteRows64(benchmark::State& state)
{
    CSatelliteTable table = FullTable(state.range(0));
    const CManualClock clock(kNow);
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeSatelliteRows(table, 52.0, -8.5, clock));
}
// A day, a year and 30 years (the oldest a stored crossing can be in 2009 terms).
BENCHMARK(BM_SatelliteRows64)->Arg(86400)->Arg(365 * 86400)->Arg(30LL * 365 * 86400);

void BM_ChartPolar64(benchmark::State& state)
{
    const CSatelliteTable table = FullTable(86400);
    for (auto _ : state) {
        for (int code = 0; code < CSatelliteTable::kEntries; ++code)
            benchmark::DoNotOptimize(
                ComputeChartPolar(ComputeSubSatellitePoint(table, code, kNow), 52.0, -8.5));
    }
}
BENCHMARK(BM_ChartPolar64);

void BM_FoldOrbitTime(benchmark::State& state)
{
    double t = static_cast<double>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(t);
        benchmark::DoNotOptimize(FoldOrbitTime(t, 60.0));
    }
}
// Worst periods: 60 s against a year, 2^32 s and 2^62 s.
BENCHMARK(BM_FoldOrbitTime)->Arg(365 * 86400)->Arg(4294967296LL)->Arg(1LL << 62);

// A day of passes for every entry filled, as halvex3-predict --passes and the
// Passes view search them: the goal is well under 50 ms.
void BM_Passes64Day(benchmark::State& state)
{
    const CSatelliteTable table = FullTable(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(FindPasses(table, 52.0, -8.5, kNow, 86400, 0.0));
}
BENCHMARK(BM_Passes64Day)->Arg(3600)->Arg(365 * 86400)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
