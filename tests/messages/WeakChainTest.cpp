// The decoder chain with the weak-signal receiver beside the demodulator: the
// demodulator's lines come out unchanged (text, time, order), the receiver
// only adds frames it alone found, each once, as the demodulator's line for
// that frame would read.
#include <gtest/gtest.h>

#include <set>

#include "support/ChainSupport.h"
#include "synth/Modulator.h"
#include "synth/PhysicalModulator.h"

namespace {

constexpr int64_t kStart = 1241186580;  // 2009-05-01 14:03:00 UTC

SynthPlan Plan(int count)
{
    PlanOptions options;
    options.kinds = {"demo"};
    options.nCount = count;
    options.nStart = kStart;
    return MakePlan(options);
}

struct Both
{
    std::vector<std::string> plain;  // weak-signal receiver off
    std::vector<std::string> weak;   // on
};

template <class Generator, class Options>
Both DecodeBoth(const SynthPlan& plan, const Options& signal, bool bRequireCrc = true)
{
    DecodeOptions options;
    options.nStart = kStart;
    options.bRequireCrc = bRequireCrc;
    Both out;
    Generator g1(signal);
    out.plain = ChainLines(plan, g1, options);
    options.bWeakSignals = true;
    Generator g2(signal);
    out.weak = ChainLines(plan, g2, options);
    return out;
}

// The checks every signal must pass: the main decoder's lines are all there, in
// order; every line is one the plan promises, in the plan's order, stamped
// with the plan's second; no frame twice.
void ExpectMerged(const SynthPlan& plan, const Both& both, const std::string& what)
{
    const std::vector<std::string> expected = ExpectedLines(plan, kStart, true, true);
    EXPECT_TRUE(IsSubsequence(both.plain, both.weak)) << what;
    EXPECT_TRUE(IsSubsequence(both.weak, expected)) << what;
    EXPECT_GE(both.weak.size(), both.plain.size()) << what;
}

}  // namespace

TEST(WeakChain, EveryTestSignalKeepsTheDesignsLinesAndAddsOnlyPromisedOnes)
{
    const SynthPlan plan = Plan(2);
    const std::vector<std::string> expected = ExpectedLines(plan, kStart, true, true);

    struct Case
    {
        const char* name;
        PhysicalOptions signal;
        bool bReceiverAdds;  // the main decoder misses frames the receiver gets
    };
    std::vector<Case> cases;
    cases.push_back({"clean", PhysicalOptions(), false});
    PhysicalOptions o;
    o.dSnrDb = 5.0;
    o.nSeed = 3;
    cases.push_back({"5 dB", o, true});
    o.bInverted = true;
    o.dSnrDb = 3.0;
    cases.push_back({"3 dB inverted", o, true});
    o = PhysicalOptions();
    o.dSigma = 10.0;
    o.dSnrDb = 12.0;
    cases.push_back({"wide pulse", o, true});
    o = PhysicalOptions();
    o.SetReceiverAudioChain();
    o.dSnrDb = 2.0;
    o.dDcOffset = 20.0;
    cases.push_back({"audio chain 2 dB", o, true});
    o = PhysicalOptions();
    o.dSnrDb = 8.0;
    o.dFadeDepth = 0.8;
    cases.push_back({"fading", o, true});

    for (const Case& c : cases) {
        const Both both = DecodeBoth<CPhysicalModulator>(plan, c.signal);
        ExpectMerged(plan, both, c.name);
        if (c.bReceiverAdds)
            EXPECT_GT(both.weak.size(), both.plain.size()) << c.name;
        else
            EXPECT_EQ(both.weak, both.plain) << c.name;
    }
    // Every frame of the plan at 5 dB, where the main decoder alone misses some.
    EXPECT_EQ(DecodeBoth<CPhysicalModulator>(plan, cases[1].signal).weak, expected);

    // The older rectangular pulse, upright, inverted and rough, as the
    // existing tests send it.
    ModulatorOptions rough;
    rough.dNoise = 30.0;
    rough.dDcOffset = 6.0;
    rough.nSeed = 11;
    for (bool invert : {false, true}) {
        rough.bInverted = invert;
        ExpectMerged(plan, DecodeBoth<CModulator>(plan, rough), "classic rough");
    }
}

TEST(WeakChain, AFrameBothFindComesOutOnceAsTheDesignsLine)
{
    const SynthPlan plan = Plan(1);
    DecodeOptions options;
    options.nStart = kStart;
    options.bWeakSignals = true;
    CLineCollector lines;
    CDecoderChain chain(options);
    chain.AddOutput(lines);
    CPhysicalModulator generator;
    RenderPlan(plan, generator, [&chain](const std::vector<uint8_t>& s) {
        chain.ProcessBlock(s.data(), s.size());
        return true;
    });
    chain.Finish();
    EXPECT_EQ(lines.m_lines, ExpectedLines(plan, kStart, true, true));
    // The receiver found every frame too, and each of its finds was dropped.
    EXPECT_EQ(chain.WeakFramesKept(), 0u);
    EXPECT_EQ(chain.WeakFramesDropped(), plan.frames.size());
    ASSERT_NE(chain.WeakReceiver(), nullptr);
    EXPECT_EQ(chain.WeakReceiver()->Stats().nFrames, plan.frames.size());
}

TEST(WeakChain, WithoutRequireCrcTheReceiverStillAddsOnlyCheckedFrames)
{
    PlanOptions po;
    po.kinds = {"short", "badcrc", "long", "badcrc"};
    po.nCount = 2;
    po.nStart = kStart;
    const SynthPlan plan = MakePlan(po);
    PhysicalOptions weak;
    weak.dSnrDb = 2.0;
    weak.nSeed = 8;
    const Both both = DecodeBoth<CPhysicalModulator>(plan, weak, false);
    EXPECT_TRUE(IsSubsequence(both.plain, both.weak));
    // What the receiver added: only the good frames, never a failed one.
    std::multiset<std::string> added(both.weak.begin(), both.weak.end());
    for (const std::string& line : both.plain)
        added.erase(added.find(line));
    ASSERT_FALSE(added.empty());
    const std::vector<std::string> good = ExpectedLines(plan, kStart, true, true);
    for (const std::string& line : added) {
        EXPECT_EQ(line.find("calc CRC"), std::string::npos) << line;
        EXPECT_NE(std::find(good.begin(), good.end(), line), good.end()) << line;
    }
}

TEST(WeakChain, TurningTheReceiverOffAndOnKeepsTheDesignsLines)
{
    // Half-way the receiver goes off, then on again: the main decoder's lines are
    // untouched throughout and nothing comes out twice.
    const SynthPlan plan = Plan(2);
    PhysicalOptions o;
    o.dSnrDb = 4.0;
    o.nSeed = 5;
    CPhysicalModulator generator(o);
    std::vector<uint8_t> samples;
    RenderPlan(plan, generator, [&](const std::vector<uint8_t>& s) {
        samples.insert(samples.end(), s.begin(), s.end());
        return true;
    });
    DecodeOptions options;
    options.nStart = kStart;
    const std::vector<std::string> plain = ChainLines(samples, options);

    CLineCollector lines;
    CDecoderChain chain(options);
    chain.AddOutput(lines);
    const size_t third = samples.size() / 3;
    chain.SetWeakSignals(true);
    chain.ProcessBlock(samples.data(), third);
    chain.SetWeakSignals(false);
    chain.ProcessBlock(samples.data() + third, third);
    chain.SetWeakSignals(true);
    chain.ProcessBlock(samples.data() + 2 * third, samples.size() - 2 * third);
    chain.Finish();
    EXPECT_TRUE(IsSubsequence(plain, lines.m_lines));
    EXPECT_TRUE(IsSubsequence(lines.m_lines, ExpectedLines(plan, kStart, true, true)));
    EXPECT_GT(lines.m_lines.size(), plain.size());
}
