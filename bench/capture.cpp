// One capture tick as the 300 ms timer runs it: a filled one-second buffer
// copied, re-queued and decoded (48,000 calls of the decoder). The tick must
// leave the user-interface thread far inside its 300 ms; with the weak-signal
// receiver on (second argument 1), under 20 ms.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "document/HalvexDoc.h"
#include "platform/Clock.h"
#include "support/FakeDocUi.h"
#include "support/FakeWaveIn.h"
#include "support/TestDoc.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

static void BM_PollCaptureOneSecond(benchmark::State& state)
{
    const bool bWithFrames = state.range(0) != 0;
    const bool bWeak = state.range(1) != 0;
    FakeDocUi ui;
    FakeWaveIn wave({"Bench card"});
    CManualClock clock(1241186607);
    const auto dir = std::filesystem::temp_directory_path() / "halvex-bench-capture";
    CHalvexDoc doc(DetachedDocEnvironment(ui, clock, dir.string(), &wave));
    doc.m_messages.m_bWriteLogFiles = false;
    doc.m_bWeakSignals = bWeak ? 1 : 0;
    doc.m_dHomeLat = 48.0;
    doc.OnProcessStart();

    CModulator mod(ModulatorOptions{90.0, 8.0});
    while (mod.SampleCount() < 4u * 48000u) {
        if (bWithFrames)
            mod.AppendFrame(BuildDateTimeStamp(2009, 121, 14, 3, 27, 0));
        mod.AppendSilence(6000);
    }
    const std::vector<uint8_t>& audio = mod.Samples();

    int second = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int i = doc.m_capture.m_nPollIndex;
        wave.FillBuffer(i, audio.data() + (second % 4) * 48000, 48000);
        ++second;
        state.ResumeTiming();
        doc.PollCapture();
    }
    state.SetItemsProcessed(state.iterations() * 48000);
    doc.OnProcessStop();
}
BENCHMARK(BM_PollCaptureOneSecond)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
