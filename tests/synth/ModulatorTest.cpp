#include "synth/Modulator.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decoder/Demodulator.h"
#include "decoder/FrameCheck.h"
#include "support/DecoderTestSupport.h"

namespace {

struct RoundTrip
{
    int nSent = 0;
    int nFound = 0;         // sent frames decoded exactly, in order
    int nOtherMatched = 0;  // matched frames that were never sent
    int nZeroFrames = 0;    // of those, frames of zero bytes only
};

RoundTrip SendAndDecode(const ModulatorOptions& options, int nFrames, int minLen, int maxLen, uint32_t seed)
{
    std::mt19937 rng(seed);
    CModulator mod(options);
    std::vector<std::vector<uint8_t>> sent;
    mod.AppendSilence(1000);
    for (int i = 0; i < nFrames; ++i) {
        const int len = minLen + static_cast<int>(rng() % static_cast<unsigned>(maxLen - minLen + 1));
        // A row holds the flag, at most 368 frame bits after stuffing and
        // the closing flag; longer frames cannot be received at all.
        std::vector<uint8_t> frame;
        do {
            std::vector<uint8_t> body(static_cast<size_t>(len - 2));
            for (auto& b : body)
                b = static_cast<uint8_t>(rng());
            frame = AppendCrc(body);
        } while (StuffFrameBits(frame).size() > 368);
        sent.push_back(frame);
        mod.AppendFrame(sent.back());
        mod.AppendSilence(static_cast<int>(rng() % 2000));
    }
    mod.AppendSilence(49000);
    CDemodulator demod;
    CRecordingSink sink;
    demod.SetSink(&sink);
    Feed(demod, sink, mod.Samples());
    RoundTrip r;
    r.nSent = nFrames;
    r.nFound = CountMatching(sink.m_frames, sent);
    int matched = 0;
    for (const auto& f : sink.m_frames) {
        matched += f.verdict.bMatched ? 1 : 0;
        bool zero = true;
        for (uint8_t b : f.bytes)
            zero = zero && b == 0;
        r.nZeroFrames += (f.verdict.bMatched && zero) ? 1 : 0;
    }
    r.nOtherMatched = matched - r.nFound;
    return r;
}

}  // namespace

TEST(Modulator, StuffingAndCrc)
{
    // A 0 after every five 1 bits, most significant bit first.
    EXPECT_EQ(StuffFrameBits({0xFF}), (std::vector<uint8_t>{1, 1, 1, 1, 1, 0, 1, 1, 1}));
    EXPECT_EQ(StuffFrameBits({0x7E}), (std::vector<uint8_t>{0, 1, 1, 1, 1, 1, 0, 1, 0}));
    EXPECT_EQ(StuffFrameBits({0x01, 0xF0}),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(StuffFrameBits({0x00}).size(), 8u);
    EXPECT_EQ(StuffFrameBits(std::vector<uint8_t>(5, 0xFF)).size(), 48u);

    const std::vector<uint8_t> f = AppendCrc({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD});
    EXPECT_EQ(f, (std::vector<uint8_t>{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x15, 0xE7}));
    CFrameCheck check;
    EXPECT_TRUE(check.CheckFrame(f.data(), static_cast<int>(f.size())).bMatched);
}

TEST(Modulator, SampleTimingLevelsAndDeterminism)
{
    CModulator clean;
    clean.AppendSilence(10);
    EXPECT_EQ(clean.AppendFrame({0x00, 0x00, 0x00, 0x00, 0x00}), 10u);
    EXPECT_EQ(clean.SampleCount(), 10u + (8 + 40 + 8) * 120u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(clean.Samples()[i], 128);
    // A 1 bit: +L over cell positions 6..17, a 0 bit -L; the zero line elsewhere.
    CModulator one;
    one.AppendBits({1, 0});
    const auto& s = one.Samples();
    EXPECT_EQ(s[5], 128);
    EXPECT_EQ(s[6], 128 + 90);
    EXPECT_EQ(s[17], 128 + 90);
    EXPECT_EQ(s[18], 128);
    EXPECT_EQ(s[119], 128);
    EXPECT_EQ(s[120 + 6], 128 - 90);

    // The clock error stretches cells: 1000 bits at +1000 ppm are 120 samples longer.
    ModulatorOptions slow;
    slow.dClockPpm = 1000;
    CModulator m(slow);
    m.AppendBits(std::vector<uint8_t>(1000, 1));
    EXPECT_EQ(m.SampleCount(), 120120u);

    // DC offset and clipping.
    ModulatorOptions dc;
    dc.dDcOffset = 100;
    CModulator d(dc);
    d.AppendSilence(3);
    d.AppendBits({1});
    EXPECT_EQ(d.Samples()[0], 228);
    EXPECT_EQ(d.Samples()[3 + 6], 255);

    // Noise follows the seed.
    ModulatorOptions noisy;
    noisy.dNoise = 10;
    CModulator a(noisy), b(noisy);
    a.AppendSilence(1000);
    b.AppendSilence(1000);
    EXPECT_EQ(a.Samples(), b.Samples());
    noisy.nSeed = 2;
    CModulator c(noisy);
    c.AppendSilence(1000);
    EXPECT_NE(a.Samples(), c.Samples());
    double sum = 0, sum2 = 0;
    for (uint8_t x : a.Samples()) {
        sum += x - 128.0;
        sum2 += (x - 128.0) * (x - 128.0);
    }
    EXPECT_NEAR(sum / 1000, 0.0, 1.5);
    EXPECT_NEAR(std::sqrt(sum2 / 1000), 10.0, 1.5);
}

TEST(Modulator, TakingSamplesInPiecesKeepsTheSignal)
{
    ModulatorOptions o;
    o.dClockPpm = 333;
    o.dNoise = 5;
    CModulator whole(o), pieces(o);
    std::vector<uint8_t> joined;
    const std::vector<uint8_t> frame = AppendCrc({1, 2, 3, 4, 5, 6});
    for (int i = 0; i < 5; ++i) {
        whole.AppendFrame(frame);
        whole.AppendSilence(77);
        pieces.AppendFrame(frame);
        pieces.AppendSilence(77);
        const std::vector<uint8_t> part = pieces.TakeSamples();
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, whole.Samples());
}

// Generated frames decode back under each signal condition: N frames in,
// the count decoded exactly must fall within the bounds.
//
// A noise-free signal is special: the zero line reads as 0 bits (D = 0), so
// a row taken between two flags at a phase that lands on the quiet part of
// the cells holds only zeros, and an all-zero frame carries a valid check
// value. Such a frame is reported and its skip can hide the next frame.
// Any noise at all makes those readings random, and the effect goes.
TEST(Modulator, NoiseFreeSignalsMayAddAllZeroFrames)
{
    const int n = 30;
    for (bool inverted : {false, true}) {
        ModulatorOptions o;
        o.bInverted = inverted;
        const RoundTrip r = SendAndDecode(o, n, 5, 46, 101);
        EXPECT_GE(r.nFound, n - 3);
        EXPECT_EQ(r.nOtherMatched, r.nZeroFrames);
        EXPECT_LE(r.nZeroFrames + r.nFound, n);
    }
}

TEST(Modulator, FramesDecodeBackUnderEachCondition)
{
    struct Case
    {
        const char* name;
        ModulatorOptions o;
        int minLen, maxLen;
        int minFound;
    };
    auto opts = [](auto tweak) {
        ModulatorOptions o;
        tweak(o);
        return o;
    };
    const int n = 30;
    const Case cases[] = {
        {"quiet", opts([](ModulatorOptions& o) { o.dNoise = 2; }), 5, 46, n},
        {"inverted", opts([](ModulatorOptions& o) {
             o.bInverted = true;
             o.dNoise = 2;
         }),
         5, 46, n},
        {"noise 20", opts([](ModulatorOptions& o) { o.dNoise = 20; }), 5, 40, n},
        {"noise 45", opts([](ModulatorOptions& o) { o.dNoise = 45; }), 5, 40, n - 3},
        {"DC +50", opts([](ModulatorOptions& o) {
             o.dDcOffset = 50;
             o.dNoise = 2;
         }),
         5, 40, n},
        {"DC -50 inverted", opts([](ModulatorOptions& o) {
             o.dDcOffset = -50;
             o.bInverted = true;
             o.dNoise = 2;
         }),
         5, 40, n},
        {"level 6 noise 3", opts([](ModulatorOptions& o) {
             o.dLevel = 6;
             o.dNoise = 3;
         }),
         5, 40, n - 2},
        {"+100 ppm", opts([](ModulatorOptions& o) {
             o.dClockPpm = 100;
             o.dNoise = 2;
         }),
         5, 30, n},
        {"-100 ppm", opts([](ModulatorOptions& o) {
             o.dClockPpm = -100;
             o.dNoise = 2;
         }),
         5, 30, n},
        {"+400 ppm short", opts([](ModulatorOptions& o) {
             o.dClockPpm = 400;
             o.dNoise = 2;
         }),
         5, 8, n},
        {"-400 ppm short", opts([](ModulatorOptions& o) {
             o.dClockPpm = -400;
             o.dNoise = 2;
         }),
         5, 8, n},
    };
    uint32_t seed = 100;
    for (const Case& c : cases) {
        const RoundTrip r = SendAndDecode(c.o, n, c.minLen, c.maxLen, seed++);
        EXPECT_GE(r.nFound, c.minFound) << c.name;
        EXPECT_LE(r.nFound, n) << c.name;
        EXPECT_EQ(r.nOtherMatched, 0) << c.name;
    }
}

// Beyond the tolerance the frames are lost, not garbled into false matches.
TEST(Modulator, HopelessSignalsDecodeLittleAndNothingFalse)
{
    ModulatorOptions drift;
    drift.dClockPpm = 3000;
    const RoundTrip r = SendAndDecode(drift, 20, 30, 40, 7);
    EXPECT_LE(r.nFound, 2);
    EXPECT_EQ(r.nOtherMatched, 0);
    ModulatorOptions buried;
    buried.dNoise = 400;
    const RoundTrip q = SendAndDecode(buried, 20, 10, 20, 8);
    EXPECT_LE(q.nFound, 2);
    EXPECT_EQ(q.nOtherMatched, 0);
}
