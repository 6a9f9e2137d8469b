// The production demodulator against the literal transcription of the
// per-call steps: same frames at the same calls, same verdicts, and the same
// row count, skip count and write index after every call, on signals chosen
// to reach every branch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "decoder/Demodulator.h"
#include "decoder/ReferenceDemodulator.h"
#include "support/DecoderTestSupport.h"
#include "synth/Modulator.h"

namespace {

struct Pair
{
    CDemodulator fast;
    CReferenceDemodulator ref;
    CRecordingSink fastSink;
    CRecordingSink refSink;
    Pair()
    {
        fast.SetSink(&fastSink);
        ref = CReferenceDemodulator(&refSink);
    }
};

// Feeds both; resets both before the calls listed in resetAt. Rows are
// compared every rowStride calls and whenever a frame is reported.
::testing::AssertionResult RunBoth(Pair& p, const std::vector<uint8_t>& samples,
                                   const std::set<size_t>& resetAt = {}, size_t rowStride = 1)
{
    for (size_t i = 0; i < samples.size(); ++i) {
        if (resetAt.count(i) != 0) {
            p.fast.ResetForStart();
            p.ref.ResetForStart();
        }
        const size_t framesBefore = p.refSink.m_frames.size();
        p.fast.ProcessSample(samples[i]);
        p.ref.ProcessSample(samples[i]);
        ++p.fastSink.m_nCall;
        ++p.refSink.m_nCall;
        if (p.fast.m_nSampleIndex != p.ref.m_nSampleIndex || p.fast.m_nRowCount != p.ref.m_nRowCount ||
            p.fast.m_nSkipCount != p.ref.m_nSkipCount)
            return ::testing::AssertionFailure()
                   << "state differs after sample " << i << ": index " << p.fast.m_nSampleIndex << "/"
                   << p.ref.m_nSampleIndex << " rows " << p.fast.m_nRowCount << "/" << p.ref.m_nRowCount
                   << " skip " << p.fast.m_nSkipCount << "/" << p.ref.m_nSkipCount;
        if (p.fastSink.m_frames.size() != p.refSink.m_frames.size())
            return ::testing::AssertionFailure() << "frame count differs after sample " << i;
        if (p.refSink.m_frames.size() != framesBefore &&
            !(p.fastSink.m_frames.back() == p.refSink.m_frames.back()))
            return ::testing::AssertionFailure() << "frame differs at sample " << i;
        const bool rowsNow = (i % rowStride) == 0 || p.refSink.m_frames.size() != framesBefore;
        if (rowsNow && std::memcmp(p.fast.m_byBitRows, p.ref.m_byBitRows, sizeof p.ref.m_byBitRows) != 0)
            return ::testing::AssertionFailure() << "bit rows differ after sample " << i;
    }
    if (std::memcmp(p.fast.m_nSampleRing, p.ref.m_nSampleRing, sizeof p.ref.m_nSampleRing) != 0)
        return ::testing::AssertionFailure() << "sample rings differ";
    if (std::memcmp(p.fast.m_byBitRows, p.ref.m_byBitRows, sizeof p.ref.m_byBitRows) != 0)
        return ::testing::AssertionFailure() << "bit rows differ at the end";
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> RandomBody(std::mt19937& rng, int n)
{
    std::vector<uint8_t> b(static_cast<size_t>(n));
    for (auto& x : b)
        x = static_cast<uint8_t>(rng() & 0xFF);
    return b;
}

// A run of frames with gaps, under the given signal conditions.
std::vector<uint8_t> FrameSignal(const ModulatorOptions& options, int nFrames, uint32_t seed, int minLen = 5,
                                 int maxLen = 30)
{
    std::mt19937 rng(seed);
    CModulator mod(options);
    mod.AppendSilence(1500);
    for (int f = 0; f < nFrames; ++f) {
        const int len = minLen + static_cast<int>(rng() % static_cast<unsigned>(maxLen - minLen + 1));
        mod.AppendFrame(AppendCrc(RandomBody(rng, len - 2)));
        mod.AppendSilence(static_cast<int>(rng() % 3000));
    }
    mod.AppendSilence(50000);
    return mod.TakeSamples();
}

size_t MatchedFrames(const Pair& p)
{
    size_t n = 0;
    for (const auto& f : p.refSink.m_frames)
        n += f.verdict.bMatched ? 1 : 0;
    return n;
}

}  // namespace

TEST(DemodulatorEquivalence, ModulatedSignalsUnderEachCondition)
{
    struct Case
    {
        const char* name;
        ModulatorOptions options;
        size_t minMatched;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, auto tweak, size_t minMatched) {
        ModulatorOptions o;
        tweak(o);
        cases.push_back({name, o, minMatched});
    };
    add(
        "upright", [](ModulatorOptions&) {}, 8);
    add(
        "inverted", [](ModulatorOptions& o) { o.bInverted = true; }, 8);
    add(
        "light noise", [](ModulatorOptions& o) { o.dNoise = 8; }, 8);
    add(
        "heavy noise", [](ModulatorOptions& o) { o.dNoise = 60; }, 0);
    add(
        "+1000 ppm", [](ModulatorOptions& o) { o.dClockPpm = 1000; }, 0);
    add(
        "-1000 ppm", [](ModulatorOptions& o) { o.dClockPpm = -1000; }, 0);
    add(
        "+5000 ppm", [](ModulatorOptions& o) { o.dClockPpm = 5000; }, 0);
    add(
        "-3000 ppm noisy",
        [](ModulatorOptions& o) {
            o.dClockPpm = -3000;
            o.dNoise = 20;
        },
        0);
    add(
        "DC +60", [](ModulatorOptions& o) { o.dDcOffset = 60; }, 8);
    add(
        "DC -70 clipped",
        [](ModulatorOptions& o) {
            o.dDcOffset = -70;
            o.dLevel = 100;
        },
        0);
    add(
        "low level",
        [](ModulatorOptions& o) {
            o.dLevel = 2;
            o.dNoise = 1;
        },
        0);
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = std::make_unique<Pair>();
        ModulatorOptions o = c.options;
        o.nSeed = seed;
        EXPECT_TRUE(RunBoth(*p, FrameSignal(o, 8, seed++)));
        EXPECT_GE(MatchedFrames(*p), c.minMatched);
    }
}

TEST(DemodulatorEquivalence, FrameShapesAndBackToBackFrames)
{
    std::mt19937 rng(77);
    CModulator mod;
    mod.AppendSilence(700);
    // Shortest frame and a 46-byte frame whose bits need no stuffing.
    mod.AppendFrame(AppendCrc({0x01, 0x23, 0x45}));
    std::vector<uint8_t> longest;
    for (;;) {
        std::vector<uint8_t> body(44);
        for (auto& b : body)
            b = static_cast<uint8_t>(rng() & 0x77);  // no byte with five 1 bits in a row
        longest = AppendCrc(body);
        if (StuffFrameBits(longest).size() == 368)
            break;
    }
    mod.AppendFrame(longest);
    // Stuffing-heavy frames, back to back with no gap.
    mod.AppendFrame(AppendCrc(std::vector<uint8_t>(20, 0xFF)));
    mod.AppendFrame(AppendCrc(std::vector<uint8_t>(12, 0x7E)));
    mod.AppendFrame(AppendCrc({0xFC, 0xFC, 0xFC, 0x7E, 0xFF, 0x3F}));
    // Frames sharing flags: flag, frame, flag, frame, flag.
    mod.AppendFlags(3);
    mod.AppendBits(StuffFrameBits(AppendCrc({9, 8, 7, 6})));
    mod.AppendFlags(1);
    mod.AppendBits(StuffFrameBits(AppendCrc({5, 4, 3, 2, 1})));
    mod.AppendFlags(4);
    mod.AppendSilence(50000);
    auto p = std::make_unique<Pair>();
    EXPECT_TRUE(RunBoth(*p, mod.TakeSamples()));
    EXPECT_GE(MatchedFrames(*p), 6u);
    bool sawLongest = false;
    for (const auto& f : p->refSink.m_frames)
        sawLongest = sawLongest || f.bytes == longest;
    EXPECT_TRUE(sawLongest);
}

TEST(DemodulatorEquivalence, BrokenFramesAndExactRunLengths)
{
    CModulator mod;
    mod.AppendSilence(500);
    // No closing flag.
    mod.AppendFlags(1);
    mod.AppendBits(std::vector<uint8_t>(400, 0));
    // Wrong length, 39 bits, 40 bits with a bad check.
    for (int bits : {43, 39, 40, 47}) {
        mod.AppendFlags(1);
        std::vector<uint8_t> b(static_cast<size_t>(bits), 0);
        b[2] = 1;
        mod.AppendBits(b);
        mod.AppendFlags(1);
        mod.AppendSilence(800);
    }
    mod.AppendSilence(50000);
    auto p = std::make_unique<Pair>();
    EXPECT_TRUE(RunBoth(*p, mod.TakeSamples()));

    const std::vector<uint8_t> frame = AppendCrc({0xC3, 0x3C, 0x99});
    std::vector<uint8_t> bits = StuffFrameBits(frame);
    for (int k = 7; k >= 0; --k)
        bits.push_back(static_cast<uint8_t>((0x7E >> k) & 1));
    for (auto [lo, hi] : {std::pair{-1, 1}, {-1, 2}, {0, 3}, {-5, 6}, {-8, 8}, {-3, 5}}) {
        SCOPED_TRACE(hi - lo + 1);
        auto q = std::make_unique<Pair>();
        EXPECT_TRUE(RunBoth(*q, BuildCraftedSignal(bits, lo, hi, 8 + 4, (lo + hi) / 2).samples));
    }
}

TEST(DemodulatorEquivalence, StartWithStaleRingContents)
{
    ModulatorOptions o;
    o.dNoise = 10;
    const std::vector<uint8_t> a = FrameSignal(o, 10, 5);
    o.nSeed = 9;
    o.bInverted = true;
    const std::vector<uint8_t> b = FrameSignal(o, 10, 6);
    std::vector<uint8_t> all = a;
    all.insert(all.end(), b.begin(), b.end());
    // Resets early, mid-ring, near the ring's end, and at points where a
    // flag run or a skip may be under way.
    std::set<size_t> resets = {70001, 70002, 100000, 100023, 147990, 190000, 230117};
    for (size_t i = 3000; i < all.size(); i += 41017)
        resets.insert(i);
    auto p = std::make_unique<Pair>();
    EXPECT_TRUE(RunBoth(*p, all, resets));
    EXPECT_GT(p->refSink.m_frames.size(), 5u);
}

TEST(DemodulatorEquivalence, MillionsOfNoiseSamples)
{
    std::mt19937 rng(2024);
    std::vector<uint8_t> uniform(2500000);
    for (auto& x : uniform)
        x = static_cast<uint8_t>(rng() & 0xFF);
    // Low-level noise round the zero line gives many short flag runs.
    std::vector<uint8_t> quiet(2500000);
    std::normal_distribution<double> g(0.0, 1.2);
    for (auto& x : quiet)
        x = static_cast<uint8_t>(128 + static_cast<int>(std::lround(g(rng))));
    auto p = std::make_unique<Pair>();
    EXPECT_TRUE(RunBoth(*p, uniform, {}, 4099));
    auto q = std::make_unique<Pair>();
    EXPECT_TRUE(RunBoth(*q, quiet, {1234567}, 4099));
    // The low-level noise must really exercise the extraction path.
    EXPECT_GT(q->refSink.m_frames.size() + 0, 0u);
}

// Blocks of samples give what single calls give: the same frames, seen at
// the same write index, and the same state at every block's end.
TEST(DemodulatorEquivalence, BlocksEqualSingleCalls)
{
    struct IndexSink : IFrameSink
    {
        const CDemodulator* demod = nullptr;
        std::vector<std::pair<int, std::vector<uint8_t>>> frames;
        void OnFrame(const uint8_t* bytes, int n, const FrameVerdict& v) override
        {
            std::vector<uint8_t> b(bytes, bytes + n);
            b.push_back(v.bMatched ? 1 : 0);
            frames.emplace_back(demod->m_nSampleIndex, b);
        }
    };
    ModulatorOptions o;
    o.dNoise = 25;
    std::vector<uint8_t> samples = FrameSignal(o, 12, 31);
    std::mt19937 rng(5);
    for (int i = 0; i < 400000; ++i)
        samples.push_back(static_cast<uint8_t>(127 + rng() % 3));

    auto single = std::make_unique<CDemodulator>();
    auto block = std::make_unique<CDemodulator>();
    IndexSink a, b;
    a.demod = single.get();
    b.demod = block.get();
    single->SetSink(&a);
    block->SetSink(&b);
    size_t at = 0;
    while (at < samples.size()) {
        const size_t n = std::min<size_t>(samples.size() - at, 1 + rng() % 70000);
        if (rng() % 7 == 0) {
            single->ResetForStart();
            block->ResetForStart();
        }
        for (size_t i = 0; i < n; ++i)
            single->ProcessSample(samples[at + i]);
        block->ProcessSamples(samples.data() + at, n);
        at += n;
        ASSERT_EQ(single->m_nSampleIndex, block->m_nSampleIndex);
        ASSERT_EQ(single->m_nRowCount, block->m_nRowCount);
        ASSERT_EQ(single->m_nSkipCount, block->m_nSkipCount);
        ASSERT_EQ(std::memcmp(single->m_byBitRows, block->m_byBitRows, sizeof block->m_byBitRows), 0);
    }
    EXPECT_EQ(a.frames, b.frames);
    EXPECT_GE(a.frames.size(), 4u);  // some frames are cut by the resets
    EXPECT_EQ(std::memcmp(single->m_nSampleRing, block->m_nSampleRing, sizeof block->m_nSampleRing), 0);
}
