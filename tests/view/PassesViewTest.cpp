// The passes mode's rows and the list it keeps between drawings.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "messages/SatelliteTable.h"
#include "orbit/PassFormat.h"
#include "orbit/Passes.h"
#include "view/PassesView.h"

namespace {

constexpr int64_t kStart = 1796637600;  // 2026-12-07 10:00:00 UTC

CSatelliteTable MakeTable()
{
    CSatelliteTable table;
    auto set = [&](int code, int64_t eqx, double eql, double per, double inc) {
        table.m_nEqx[code] = static_cast<int32_t>(eqx);
        table.m_dEql[code] = eql;
        table.m_dPer[code] = per;
        table.m_dInc[code] = inc;
    };
    set(5, kStart - 3600, 233.4, 6081.2, 98.62);
    set(8, kStart - 86400, 17.9, 6122.5, 99.05);
    set(12, kStart - 7200, 150.5, 6119.9, 98.8);
    return table;
}

TEST(PassesView, ALineShowsAosTcaLosAndDurationInUtc)
{
    SatellitePass pass;
    pass.nCode = 8;
    pass.nAos = kStart + 12 * 60 + 5;  // 10:12:05
    pass.nTca = pass.nAos + 448;       // 10:19:33
    pass.nLos = pass.nAos + 893;       // 10:26:58
    pass.dAosAzimuth = 12.4;
    pass.dLosAzimuth = 187.0;
    pass.dMaxElevation = 41.24;
    EXPECT_EQ(
        "NOAA-18  AOS 2026-12-07 10:12:05 az 012\xB0  TCA 10:19:33 max 41.2\xB0  LOS 10:26:58 az 187\xB0  "
        "14m53s",
        FormatPassLine(pass));
    pass.nCode = 3;
    pass.dMaxElevation = 0.04;
    pass.nLos = pass.nAos + 59;
    EXPECT_EQ(
        "Unknown  AOS 2026-12-07 10:12:05 az 012\xB0  TCA 10:19:33 max  0.0\xB0  LOS 10:13:04 az 187\xB0   "
        "0m59s",
        FormatPassLine(pass));
    EXPECT_EQ("2026-12-07T10:12:05Z", FormatPassInstant(pass.nAos));
}

TEST(PassesView, RowsMarkThePassUnderWay)
{
    const CSatelliteTable table = MakeTable();
    const std::vector<SatellitePass> day = FindPasses(table, 51.9, -8.5, kStart, kPassesViewSpan, 0.0);
    ASSERT_GT(day.size(), 6u);
    // A moment in the middle of the third pass.
    const int64_t now = (day[2].nAos + day[2].nLos) / 2;
    CPassSchedule schedule;
    const std::vector<SatellitePass>& passes = schedule.Update(table, 51.9, -8.5, now);
    const std::vector<ViewText> rows = ComputePassTexts(passes, now);
    ASSERT_EQ(passes.size() + 1, rows.size());
    EXPECT_EQ("Passes in the next 24 hours from " + std::string("2026-12-07 ") +
                  FormatPassInstant(now).substr(11, 8) + " UTC (> under way)",
              rows[0].strText);
    int marked = 0;
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(0, rows[i].x);
        EXPECT_EQ(static_cast<int>(15 * i), rows[i].y);
        const SatellitePass& p = passes[i - 1];
        const bool bUp = p.nAos <= now && now <= p.nLos;
        if (bUp) {
            ++marked;
            EXPECT_EQ("> " + FormatPassLine(p), rows[i].strText);
        } else {
            EXPECT_EQ("  " + FormatPassLine(p), rows[i].strText);
        }
    }
    EXPECT_GE(marked, 1);
    EXPECT_EQ(day[2].nAos, passes[0].nAos) << "the pass under way comes first, with its real AOS";
    EXPECT_EQ("> ", rows[1].strText.substr(0, 2));

    // Nothing in the table: the title alone.
    EXPECT_EQ(1u, ComputePassTexts({}, now).size());
}

TEST(PassesView, TheKeptListMatchesAFreshSearchAsTheClockRuns)
{
    const CSatelliteTable table = MakeTable();
    CPassSchedule schedule;
    // Redraws 2 seconds apart for a while, then sparser ones for six hours.
    std::vector<int64_t> times;
    for (int64_t t = kStart; t < kStart + 600; t += 2)
        times.push_back(t);
    for (int64_t t = kStart + 600; t < kStart + 6 * 3600; t += 97)
        times.push_back(t);
    for (int64_t now : times) {
        const std::vector<SatellitePass>& kept = schedule.Update(table, -42.88, 147.33, now);
        const std::vector<SatellitePass> fresh = FindPasses(table, -42.88, 147.33, now, kPassesViewSpan, 0.0);
        ASSERT_EQ(fresh, kept) << "at " << now;
    }
    EXPECT_EQ(1, schedule.FullSearches());
}

TEST(PassesView, NewElementsANewHomeOrAClockSetBackSearchAgain)
{
    CSatelliteTable table = MakeTable();
    CPassSchedule schedule;
    schedule.Update(table, 51.9, -8.5, kStart);
    schedule.Update(table, 51.9, -8.5, kStart + 2);
    EXPECT_EQ(1, schedule.FullSearches());

    table.m_dLastGroundDist[8] = 1234.0;  // not an element: no new search
    schedule.Update(table, 51.9, -8.5, kStart + 4);
    EXPECT_EQ(1, schedule.FullSearches());

    table.m_dPer[8] += 1.0;  // a new bulletin
    EXPECT_EQ(FindPasses(table, 51.9, -8.5, kStart + 6, kPassesViewSpan, 0.0),
              schedule.Update(table, 51.9, -8.5, kStart + 6));
    EXPECT_EQ(2, schedule.FullSearches());

    EXPECT_EQ(FindPasses(table, 69.65, 18.96, kStart + 8, kPassesViewSpan, 0.0),
              schedule.Update(table, 69.65, 18.96, kStart + 8));
    EXPECT_EQ(3, schedule.FullSearches());

    EXPECT_EQ(FindPasses(table, 69.65, 18.96, kStart - 3600, kPassesViewSpan, 0.0),
              schedule.Update(table, 69.65, 18.96, kStart - 3600));
    EXPECT_EQ(4, schedule.FullSearches());

    EXPECT_EQ(FindPasses(table, 69.65, 18.96, kStart + 3 * 86400, kPassesViewSpan, 0.0),
              schedule.Update(table, 69.65, 18.96, kStart + 3 * 86400));
    EXPECT_EQ(5, schedule.FullSearches());
}

}  // namespace
