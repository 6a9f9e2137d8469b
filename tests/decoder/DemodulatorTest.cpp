#include "decoder/Demodulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/DecoderTestSupport.h"
#include "synth/Modulator.h"

namespace {

constexpr int kRing = CDemodulator::kRingLength;

// A frame with its CRC, and its stuffed bits followed by the closing flag.
std::vector<uint8_t> TestFrame()
{
    return AppendCrc({0x12, 0x34, 0x56, 0x78});
}

std::vector<uint8_t> BitsWithClosingFlag(const std::vector<uint8_t>& frame)
{
    std::vector<uint8_t> bits = StuffFrameBits(frame);
    for (int k = 7; k >= 0; --k)
        bits.push_back(static_cast<uint8_t>((0x7E >> k) & 1));
    return bits;
}

// Index (in the bits after the opening flag) of a 1 with 0 on both sides.
int IsolatedOne(const std::vector<uint8_t>& bits)
{
    for (size_t i = 1; i + 1 < bits.size(); ++i)
        if (bits[i] == 1 && bits[i - 1] == 0 && bits[i + 1] == 0)
            return static_cast<int>(i);
    return -1;
}

struct Decoded
{
    std::unique_ptr<CDemodulator> demod;
    std::unique_ptr<CRecordingSink> sink;
};

// stopAtFrame: stop right after the call that reports the first frame, to
// see the state it left.
Decoded DecodeAll(const std::vector<uint8_t>& samples, bool stopAtFrame = false)
{
    Decoded d{std::make_unique<CDemodulator>(), std::make_unique<CRecordingSink>()};
    d.demod->SetSink(d.sink.get());
    for (uint8_t s : samples) {
        d.demod->ProcessSample(s);
        ++d.sink->m_nCall;
        if (stopAtFrame && !d.sink->m_frames.empty())
            break;
    }
    return d;
}

}  // namespace

TEST(Demodulator, FlagRunLengthDecidesWhetherAFrameIsTaken)
{
    const std::vector<uint8_t> frame = TestFrame();
    const std::vector<uint8_t> bits = BitsWithClosingFlag(frame);

    // Three starting samples: dropped without a trace.
    {
        CraftedSignal sig = BuildCraftedSignal(bits, -1, 1);
        Decoded d = DecodeAll(sig.samples);
        EXPECT_TRUE(d.sink->m_frames.empty());
        EXPECT_EQ(d.demod->m_nRowCount, 0);
        EXPECT_EQ(d.demod->m_nSkipCount, 0);
    }
    // Four: the row decided at the third of them. The mark cell reads the
    // frame's 1 only from that starting sample; any other row fails its check.
    {
        const int mark = 8 + IsolatedOne(bits);
        ASSERT_GT(mark, 8);
        CraftedSignal sig = BuildCraftedSignal(bits, -1, 2, mark, 1);
        Decoded d = DecodeAll(sig.samples);
        ASSERT_EQ(d.sink->m_frames.size(), 1u);
        EXPECT_EQ(d.sink->m_frames[0].bytes, frame);
        EXPECT_TRUE(d.sink->m_frames[0].verdict.bMatched);
        // Found at the call after the run's last match (starting offset 3).
        EXPECT_EQ(d.sink->m_frames[0].nCall, static_cast<uint64_t>(sig.nFlagStart + 3 + kRing - 1));
        // Rows 1 and 3 hold the second and fourth matches: the mark reads 0 there.
        EXPECT_EQ(d.demod->m_byBitRows[1 * 384 + mark], 0);
        EXPECT_EQ(d.demod->m_byBitRows[3 * 384 + mark], 0);
    }
}

TEST(Demodulator, LongRunUsesRowFourAndRewritesRowNine)
{
    const std::vector<uint8_t> frame = TestFrame();
    const std::vector<uint8_t> bits = BitsWithClosingFlag(frame);
    const int mark = 8 + IsolatedOne(bits);
    // Twelve starting samples, -5 .. 6: the fifth is offset -1.
    CraftedSignal sig = BuildCraftedSignal(bits, -5, 6, mark, -1);
    Decoded d = DecodeAll(sig.samples, true);
    ASSERT_EQ(d.sink->m_frames.size(), 1u);
    EXPECT_EQ(d.sink->m_frames[0].bytes, frame);
    EXPECT_TRUE(d.sink->m_frames[0].verdict.bMatched);
    // Rows 5 .. 8 are the sixth to ninth matches; row 9 was written again by
    // the tenth to twelfth and holds the twelfth, whose mark reads 1 (seven
    // samples late, the mark pattern reads 1 again; at the tenth and eleventh it reads 0).
    for (int r = 5; r <= 8; ++r)
        EXPECT_EQ(d.demod->m_byBitRows[r * 384 + mark], 0) << r;
    EXPECT_EQ(d.demod->m_byBitRows[9 * 384 + mark], 1);
    // The failed test that ended the run (offset 7: the first 0 cell reads 1)
    // wrote its cells 0..7 into row 9.
    const std::vector<uint8_t> failed(d.demod->m_byBitRows + 9 * 384, d.demod->m_byBitRows + 9 * 384 + 8);
    EXPECT_EQ(failed, (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 0}));
}

TEST(Demodulator, ZeroDecisionValueIsAZeroBit)
{
    // The crafted signal leaves the flag's 0 cells exactly on the zero line
    // (D = 0); if that counted as 1 the register would read 0xFF.
    const std::vector<uint8_t> frame = TestFrame();
    CraftedSignal sig = BuildCraftedSignal(BitsWithClosingFlag(frame), -2, 2);
    Decoded d = DecodeAll(sig.samples);
    ASSERT_EQ(d.sink->m_frames.size(), 1u);
    EXPECT_EQ(d.sink->m_frames[0].bytes, frame);

    // A constant signal decides 0 everywhere.
    std::vector<uint8_t> flat(60000, 200);
    Decoded f = DecodeAll(flat);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(f.demod->m_byBitRows[k], 0);
    EXPECT_TRUE(f.sink->m_frames.empty());
}

TEST(Demodulator, SkipAfterMatchedFrameOnlyAndSamplesStillStored)
{
    CModulator mod;
    mod.AppendSilence(2000);
    const std::vector<uint8_t> good = AppendCrc({1, 2, 3, 4, 5, 6, 7, 8});
    mod.AppendFrame(good);
    mod.AppendSilence(60000);
    std::vector<uint8_t> samples = mod.TakeSamples();

    CDemodulator demod;
    CRecordingSink sink;
    demod.SetSink(&sink);
    size_t i = 0;
    for (; i < samples.size() && sink.m_frames.empty(); ++i) {
        demod.ProcessSample(samples[i]);
        ++sink.m_nCall;
    }
    ASSERT_EQ(sink.m_frames.size(), 1u);
    EXPECT_TRUE(sink.m_frames[0].verdict.bMatched);
    EXPECT_EQ(demod.m_nSkipCount, 10 * 960);
    EXPECT_EQ(demod.m_nRowCount, 0);
    // During the skip the samples keep entering the ring.
    for (int k = 0; k < 10 * 960; ++k, ++i) {
        const int slot = demod.m_nSampleIndex;
        demod.ProcessSample(samples[i]);
        EXPECT_EQ(demod.m_nSampleRing[slot], samples[i] - 128);
    }
    EXPECT_EQ(demod.m_nSkipCount, 0);

    // A frame whose check fails is handed on, with no skip.
    CModulator bad;
    bad.AppendSilence(2000);
    std::vector<uint8_t> broken = good;
    broken.back() ^= 0x01;
    bad.AppendFrame(broken);
    bad.AppendSilence(60000);
    Decoded d = DecodeAll(bad.Samples(), true);
    ASSERT_EQ(d.sink->m_frames.size(), 1u);
    EXPECT_FALSE(d.sink->m_frames[0].verdict.bMatched);
    EXPECT_EQ(d.sink->m_frames[0].bytes, broken);
    EXPECT_EQ(d.demod->m_nSkipCount, 0);
    // Without a skip the search goes on at the next sample and meets the
    // same frame again from later starting samples (read inverted, then
    // upright); every copy is the same frame.
    Decoded all = DecodeAll(bad.Samples());
    EXPECT_GT(all.sink->m_frames.size(), 1u);
    for (const RecordedFrame& f : all.sink->m_frames)
        EXPECT_EQ(f.bytes, broken);
}

TEST(Demodulator, InvertedSignalGivesTheSameFramesAtTheSameSamples)
{
    std::vector<std::vector<uint8_t>> frames = {AppendCrc({0xAA, 0x55, 0x00}),
                                                AppendCrc({0xFF, 0xFF, 0x7E, 0x7E, 0x01}),
                                                AppendCrc({0x10, 0x20, 0x30, 0x40, 0x50, 0x60})};
    ModulatorOptions up;
    ModulatorOptions down;
    down.bInverted = true;
    CModulator a(up);
    CModulator b(down);
    for (const auto& f : frames) {
        a.AppendSilence(3000);
        b.AppendSilence(3000);
        a.AppendFrame(f);
        b.AppendFrame(f);
    }
    a.AppendSilence(50000);
    b.AppendSilence(50000);
    Decoded da = DecodeAll(a.Samples());
    Decoded db = DecodeAll(b.Samples());
    ASSERT_EQ(da.sink->m_frames.size(), frames.size());
    EXPECT_EQ(da.sink->m_frames, db.sink->m_frames);
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(da.sink->m_frames[i].bytes, frames[i]);
}

TEST(Demodulator, BrokenFramesAreDropped)
{
    auto decodeBits = [](const std::vector<uint8_t>& bitsAfterFlag) {
        CModulator mod;
        mod.AppendSilence(1000);
        mod.AppendFlags(1);
        mod.AppendBits(bitsAfterFlag);
        mod.AppendSilence(60000);
        return DecodeAll(mod.Samples(), true);
    };
    auto withFlag = [](std::vector<uint8_t> bits) {
        for (int k = 7; k >= 0; --k)
            bits.push_back(static_cast<uint8_t>((0x7E >> k) & 1));
        return bits;
    };
    std::vector<uint8_t> forty(40, 0);
    forty[3] = 1;
    std::vector<uint8_t> thirtyNine(39, 0);
    std::vector<uint8_t> fortyThree(43, 0);
    // 40 bits: a 5-byte frame (check fails, but it is handed on).
    Decoded d40 = decodeBits(withFlag(forty));
    ASSERT_EQ(d40.sink->m_frames.size(), 1u);
    EXPECT_EQ(d40.sink->m_frames[0].bytes.size(), 5u);
    EXPECT_EQ(d40.sink->m_frames[0].bytes[0], 0x10);
    EXPECT_TRUE(decodeBits(withFlag(thirtyNine)).sink->m_frames.empty());
    EXPECT_TRUE(decodeBits(withFlag(fortyThree)).sink->m_frames.empty());
    // No closing flag within the row.
    std::vector<uint8_t> open(400, 0);
    EXPECT_TRUE(decodeBits(open).sink->m_frames.empty());
    // The closing flag's six 1 bits must lie within cells 8..383: 370 data
    // bits put the sixth 1 at cell 384; 369 put it at 383, not a whole byte.
    EXPECT_TRUE(decodeBits(withFlag(std::vector<uint8_t>(370, 0))).sink->m_frames.empty());
    EXPECT_TRUE(decodeBits(withFlag(std::vector<uint8_t>(369, 0))).sink->m_frames.empty());
    std::vector<uint8_t> longest(368, 0);
    Decoded d368 = decodeBits(withFlag(longest));
    ASSERT_EQ(d368.sink->m_frames.size(), 1u);
    EXPECT_EQ(d368.sink->m_frames[0].bytes.size(), 46u);
    EXPECT_TRUE(d368.sink->m_frames[0].verdict.bMatched);  // all zeros
    // Six 1 bits inside a frame end it early: 16 zeros then 111111.
    std::vector<uint8_t> cut(16, 0);
    cut.insert(cut.end(), {1, 1, 1, 1, 1, 1});
    cut.insert(cut.end(), 30, 0);
    EXPECT_TRUE(decodeBits(withFlag(cut)).sink->m_frames.empty());
    // A 0 after five 1 bits is removed.
    std::vector<uint8_t> stuffed = {1, 1, 1, 1, 1, 0, 1, 1, 1};
    stuffed.insert(stuffed.end(), 32, 0);
    Decoded ds = decodeBits(withFlag(stuffed));
    ASSERT_EQ(ds.sink->m_frames.size(), 1u);
    EXPECT_EQ(ds.sink->m_frames[0].bytes[0], 0xFF);
}

TEST(Demodulator, StartKeepsRingAndSkipButRestartsIndexAndRun)
{
    CDemodulator demod;
    for (int i = 0; i < 30000; ++i)
        demod.ProcessSample(i & 0xFF);
    demod.m_nSkipCount = 5;
    demod.ResetForStart();
    EXPECT_EQ(demod.m_nSampleIndex, 0);
    EXPECT_EQ(demod.m_nRowCount, 0);
    EXPECT_EQ(demod.m_nSkipCount, 5);
    EXPECT_EQ(demod.m_nSampleRing[29999], (29999 & 0xFF) - 128);
    demod.ProcessSample(255);
    EXPECT_EQ(demod.m_nSampleRing[0], 127);
    EXPECT_EQ(demod.m_nSampleIndex, 1);
    EXPECT_EQ(demod.m_nSkipCount, 4);
}
