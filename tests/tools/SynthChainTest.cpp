// The synthesiser's recordings through the decoder chain, in process: the
// lines it promises (--expect) must be exactly the lines made, stamped with
// the second in which the decoder makes them; and with the weak-signal
// receiver on, where the decoder finds every frame, nothing changes.
#include <gtest/gtest.h>

#include "support/ChainSupport.h"
#include "synth/PhysicalModulator.h"
#include "synth/SynthPlan.h"

namespace {

constexpr int64_t kStart = 1241186580;  // 2009-05-01 14:03:00 UTC

struct Decoded
{
    std::vector<std::string> lines;
    CSatelliteTable table;
};

// What halvex3-decode does, once without and once with --weak-signals.
template <class Generator, class Options>
Decoded Decode(const SynthPlan& plan, const Options& modulation, bool bRequireCrc, bool bExpand)
{
    Decoded out;
    DecodeOptions options;
    options.nStart = kStart;
    options.bRequireCrc = bRequireCrc;
    options.bExpand = bExpand;
    Generator generator(modulation);
    out.lines = ChainLines(plan, generator, options, &out.table);
    options.bWeakSignals = true;
    Generator again(modulation);
    EXPECT_EQ(ChainLines(plan, again, options), out.lines) << "with the weak-signal receiver";
    return out;
}

Decoded Decode(const SynthPlan& plan, const ModulatorOptions& modulation, bool bRequireCrc, bool bExpand)
{
    return Decode<CModulator>(plan, modulation, bRequireCrc, bExpand);
}

Decoded Decode(const SynthPlan& plan, const PhysicalOptions& modulation, bool bRequireCrc, bool bExpand)
{
    return Decode<CPhysicalModulator>(plan, modulation, bRequireCrc, bExpand);
}

SynthPlan DemoPlan()
{
    PlanOptions options;
    options.kinds = {"demo"};
    options.nStart = kStart;
    return MakePlan(options);
}

}  // namespace

TEST(SynthChain, DemoSetDecodesToTheExpectedLines)
{
    const SynthPlan plan = DemoPlan();
    ASSERT_EQ(plan.frames.size(), 11u);
    for (bool requireCrc : {true, false}) {
        for (bool expand : {true, false}) {
            const std::vector<std::string> expected = ExpectedLines(plan, kStart, requireCrc, expand);
            EXPECT_EQ(Decode(plan, ModulatorOptions(), requireCrc, expand).lines, expected)
                << requireCrc << expand;
        }
    }
    // Bulletins of six satellites, their expansions, a stamp, two summaries,
    // the shortest and the longest frame.
    EXPECT_EQ(ExpectedLines(plan, kStart, true, true).size(), 20u);
    EXPECT_EQ(ExpectedLines(plan, kStart, true, false).size(), 11u);
}

TEST(SynthChain, FailedFrameOnlyWithoutRequireCrc)
{
    PlanOptions options;
    options.kinds = {"short", "badcrc", "short"};
    options.nStart = kStart;
    const SynthPlan plan = MakePlan(options);
    const std::vector<std::string> expected = ExpectedLines(plan, kStart, false, true);
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(expected[1], "0123456 789 ABCD [1234 calc CRC 15E7] 2009-05-01 14:03:04");
    EXPECT_EQ(Decode(plan, ModulatorOptions(), true, true).lines, ExpectedLines(plan, kStart, true, true));
    // Not skipped, the failed frame may be found at more than one sampling
    // phase, but every line it gives is the expected one.
    const std::vector<std::string> lines = Decode(plan, ModulatorOptions(), false, true).lines;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), expected[0]);
    EXPECT_EQ(lines.back(), expected[2]);
    for (size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[1]);
}

TEST(SynthChain, SignalConditionsKeepTheLines)
{
    const SynthPlan plan = DemoPlan();
    const std::vector<std::string> expected = ExpectedLines(plan, kStart, true, true);
    ModulatorOptions inverted;
    inverted.bInverted = true;
    EXPECT_EQ(Decode(plan, inverted, true, true).lines, expected);

    ModulatorOptions rough;
    rough.dNoise = 8.0;
    rough.dDcOffset = 6.0;
    rough.dClockPpm = 40.0;
    rough.nSeed = 11;
    EXPECT_EQ(Decode(plan, rough, true, true).lines, expected);

    // The physical pulse, as halvex3-synth makes it by default: its frames
    // start a mid-bit later than the rectangle's, well inside their second.
    for (bool invert : {false, true}) {
        PhysicalOptions physical;
        physical.bInverted = invert;
        EXPECT_EQ(Decode(plan, physical, true, true).lines, expected) << invert;
    }
    PhysicalOptions received;
    received.SetReceiverAudioChain();
    received.dSnrDb = 14.0;
    received.dSigma = 5.0;
    received.dClockPpm = -60.0;
    received.dDcOffset = -9.0;
    received.nSeed = 4;
    EXPECT_EQ(Decode(plan, received, true, true).lines, expected);
}

TEST(SynthChain, BulletinsFillTheTable)
{
    const Decoded decoded = Decode(DemoPlan(), ModulatorOptions(), true, true);
    for (int code : {5, 6, 7, 8, 10, 12}) {
        EXPECT_TRUE(decoded.table.HasElements(code)) << code;
        EXPECT_LT(decoded.table.EqxTime(code), kStart);
        EXPECT_GT(decoded.table.EqxTime(code), kStart - 3 * 3600);
    }
}

TEST(SynthChain, PlacementAndLength)
{
    PlanOptions options;
    options.kinds = {"short", "hex:00000E1000", "long"};
    options.nCount = 2;
    options.nLeadInSeconds = 3;
    options.nSpacingSeconds = 4;
    options.nStart = kStart;
    const SynthPlan plan = MakePlan(options);
    ASSERT_EQ(plan.frames.size(), 6u);
    EXPECT_EQ(plan.frames[0].nFlagSample, 3u * kSampleRate + kFlagOffset);
    EXPECT_EQ(plan.frames[5].nFlagSample, 23u * kSampleRate + kFlagOffset);
    EXPECT_EQ(plan.nTotalSamples, 27u * kSampleRate);
    options.nDurationSeconds = 60;
    EXPECT_EQ(MakePlan(options).nTotalSamples, 60u * kSampleRate);

    uint64_t rendered = 0;
    RenderPlan(plan, ModulatorOptions(), [&](const std::vector<uint8_t>& s) {
        rendered += s.size();
        return true;
    });
    EXPECT_EQ(rendered, plan.nTotalSamples);

    // Frames the decoder cannot take are not expected.
    EXPECT_FALSE(DecoderCanTake(std::vector<uint8_t>(4, 0x11)));
    EXPECT_FALSE(DecoderCanTake(std::vector<uint8_t>(47, 0x11)));
    EXPECT_FALSE(DecoderCanTake(std::vector<uint8_t>(46, 0xFF)));
    EXPECT_TRUE(DecoderCanTake(std::vector<uint8_t>(46, 0x11)));
    EXPECT_TRUE(IsFrameKind("hex:0aF"));
    EXPECT_FALSE(IsFrameKind("hex:"));
    EXPECT_FALSE(IsFrameKind("hex:12G"));
    EXPECT_FALSE(IsFrameKind("bulletin"));
}
