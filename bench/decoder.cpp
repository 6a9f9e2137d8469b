// Samples per second of the production demodulator and of the literal
// transcription of its per-call steps, on the same signals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "decoder/Demodulator.h"
#include "decoder/ReferenceDemodulator.h"
#include "decoder/WeakReceiver.h"
#include "messages/DecoderChain.h"
#include "synth/Modulator.h"
#include "synth/PhysicalModulator.h"

namespace {

class CCountingSink : public IFrameSink
{
public:
    void OnFrame(const uint8_t*, int, const FrameVerdict& v) override { m_nFrames += v.bMatched ? 1 : 0; }
    int64_t m_nFrames = 0;
};

// Ten seconds of frames with noise. Sparse: one frame every two seconds, as
// the satellites send them and halvex3-synth spaces them. Dense: frames
// with short gaps, where the skip after each frame spares the transcription
// most of its work.
std::vector<uint8_t> MakeFrames(int nSpacing)
{
    ModulatorOptions o;
    o.dNoise = 12;
    CModulator mod(o);
    std::mt19937 rng(3);
    while (mod.SampleCount() < 480000) {
        const uint64_t start = mod.SampleCount();
        std::vector<uint8_t> body(static_cast<size_t>(5 + rng() % 20));
        for (auto& b : body)
            b = static_cast<uint8_t>(rng());
        mod.AppendFrame(AppendCrc(body));
        const int gap = nSpacing > 0
                            ? static_cast<int>(start + static_cast<uint64_t>(nSpacing) - mod.SampleCount())
                            : static_cast<int>(rng() % 4000);
        mod.AppendSilence(gap);
    }
    return mod.TakeSamples();
}

const std::vector<uint8_t>& FramesSignal()
{
    static const std::vector<uint8_t> samples = MakeFrames(96000);
    return samples;
}

const std::vector<uint8_t>& DenseFramesSignal()
{
    static const std::vector<uint8_t> samples = MakeFrames(0);
    return samples;
}

const std::vector<uint8_t>& NoiseSignal()
{
    static const std::vector<uint8_t> samples = [] {
        std::vector<uint8_t> s(480000);
        std::mt19937 rng(4);
        std::normal_distribution<double> g(128.0, 20.0);
        for (auto& x : s)
            x = static_cast<uint8_t>(std::clamp(g(rng), 0.0, 255.0));
        return s;
    }();
    return samples;
}

template <class Demod>
void Run(benchmark::State& state, const std::vector<uint8_t>& samples)
{
    CCountingSink sink;
    auto demod = std::make_unique<Demod>(&sink);
    for (auto _ : state) {
        for (uint8_t s : samples)
            demod->ProcessSample(s);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["frames"] = static_cast<double>(sink.m_nFrames);
}

void RunBlocks(benchmark::State& state, const std::vector<uint8_t>& samples)
{
    CCountingSink sink;
    auto demod = std::make_unique<CDemodulator>(&sink);
    for (auto _ : state) {
        demod->ProcessSamples(samples.data(), samples.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["frames"] = static_cast<double>(sink.m_nFrames);
}

// Ten seconds of the physical signal at 6 dB, one 24-byte frame a second.
const std::vector<uint8_t>& PhysicalSignal()
{
    static const std::vector<uint8_t> samples = [] {
        PhysicalOptions o;
        o.dSnrDb = 6.0;
        CPhysicalModulator mod(o);
        std::mt19937 rng(5);
        while (mod.SampleCount() < 480000) {
            std::vector<uint8_t> body(22);
            for (auto& b : body)
                b = static_cast<uint8_t>(rng());
            mod.AppendFrame(AppendCrc(body));
            mod.AppendSilence(20000);
        }
        return mod.TakeSamples();
    }();
    return samples;
}

// The weak-signal receiver alone, and the decoder chain with and without it
// (what halvex3-decode runs; the goal with it is 300 times real time).
void RunWeak(benchmark::State& state, const std::vector<uint8_t>& samples)
{
    CWeakReceiver receiver;
    int64_t frames = 0;
    for (auto _ : state) {
        receiver.ProcessSamples(samples.data(), samples.size());
        frames += static_cast<int64_t>(receiver.TakeFrames().size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["frames"] = static_cast<double>(frames);
}

void RunChain(benchmark::State& state, const std::vector<uint8_t>& samples, bool weak)
{
    DecodeOptions options;
    options.bWeakSignals = weak;
    CDecoderChain chain(options);
    for (auto _ : state) {
        chain.ProcessBlock(samples.data(), samples.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["lines"] = static_cast<double>(chain.Store().m_nMessageIndex);
}

void BM_Weak_Physical(benchmark::State& s)
{
    RunWeak(s, PhysicalSignal());
}
void BM_Weak_Noise(benchmark::State& s)
{
    RunWeak(s, NoiseSignal());
}
void BM_Chain_Physical(benchmark::State& s)
{
    RunChain(s, PhysicalSignal(), false);
}
void BM_ChainWeak_Physical(benchmark::State& s)
{
    RunChain(s, PhysicalSignal(), true);
}
void BM_ChainWeak_Noise(benchmark::State& s)
{
    RunChain(s, NoiseSignal(), true);
}

void BM_Production_Frames(benchmark::State& s)
{
    Run<CDemodulator>(s, FramesSignal());
}
void BM_ProductionBlocks_Frames(benchmark::State& s)
{
    RunBlocks(s, FramesSignal());
}
void BM_ProductionBlocks_Noise(benchmark::State& s)
{
    RunBlocks(s, NoiseSignal());
}
void BM_Reference_Frames(benchmark::State& s)
{
    Run<CReferenceDemodulator>(s, FramesSignal());
}
void BM_ProductionBlocks_DenseFrames(benchmark::State& s)
{
    RunBlocks(s, DenseFramesSignal());
}
void BM_Reference_DenseFrames(benchmark::State& s)
{
    Run<CReferenceDemodulator>(s, DenseFramesSignal());
}
void BM_Production_Noise(benchmark::State& s)
{
    Run<CDemodulator>(s, NoiseSignal());
}
void BM_Reference_Noise(benchmark::State& s)
{
    Run<CReferenceDemodulator>(s, NoiseSignal());
}

}  // namespace

BENCHMARK(BM_Production_Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProductionBlocks_Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProductionBlocks_DenseFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_DenseFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Production_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProductionBlocks_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Weak_Physical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Weak_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chain_Physical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChainWeak_Physical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChainWeak_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
