#include "synth/PhysicalModulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "decoder/Demodulator.h"
#include "support/DecoderTestSupport.h"
#include "synth/IdealBound.h"
#include "synth/Modulator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Peak
{
    int nAt;
    double dValue;
};

// Local extremes of the zero-line signal beyond a threshold, in order.
std::vector<Peak> FindPeaks(const std::vector<uint8_t>& samples, double threshold)
{
    std::vector<Peak> peaks;
    for (size_t i = 1; i + 1 < samples.size(); ++i) {
        const double v = samples[i] - 128.0;
        const double before = samples[i - 1] - 128.0;
        const double after = samples[i + 1] - 128.0;
        if (std::abs(v) < threshold)
            continue;
        const bool top = v > 0 && v >= before && v > after;
        const bool bottom = v < 0 && v <= before && v < after;
        if (top || bottom)
            peaks.push_back({static_cast<int>(i), v});
    }
    return peaks;
}

double Rms(const std::vector<uint8_t>& samples)
{
    double sum = 0.0;
    for (uint8_t s : samples)
        sum += (s - 128.0) * (s - 128.0);
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

std::vector<std::vector<uint8_t>> RandomFrames(int count, int bytes, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> body(static_cast<size_t>(bytes - 2));
        for (uint8_t& b : body)
            b = static_cast<uint8_t>(rng());
        frames.push_back(AppendCrc(body));
    }
    return frames;
}

int MainDecoderFinds(const PhysicalOptions& options, const std::vector<std::vector<uint8_t>>& frames)
{
    CPhysicalModulator mod(options);
    mod.AppendSilence(1000);
    for (const auto& frame : frames) {
        mod.AppendFlags(2);
        mod.AppendFrame(frame);
        mod.AppendFlags(1);
        mod.AppendSilence(9000);
    }
    mod.AppendSilence(CDemodulator::kRingLength + 1000);
    CDemodulator demod;
    CRecordingSink sink;
    demod.SetSink(&sink);
    Feed(demod, sink, mod.TakeSamples());
    return CountMatching(sink.m_frames, frames);
}

// The gain of the chain for a tone, from its settled output.
double ToneGain(const PhysicalOptions& options, double hz)
{
    CAudioChain chain(options);
    const int n = 48000;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double y = chain.Process(std::sin(2.0 * kPi * hz * i / 48000.0));
        if (i >= n / 2)
            sum += y * y;
    }
    return std::sqrt(sum / (n / 2) * 2.0);
}

TEST(PhysicalModulator, PulseAtEveryPhaseStepWithItsSign)
{
    PhysicalOptions o;
    o.dLevel = 100;
    CPhysicalModulator mod(o);
    mod.AppendSilence(500);
    mod.AppendBits({1, 1, 0, 0, 1, 0});
    mod.AppendSilence(500);
    const std::vector<Peak> peaks = FindPeaks(mod.TakeSamples(), 50.0);

    // Mid-bit pulses at 60 + 120 k, + for a 1; boundary pulses only between
    // equal bits, opposite to the mid-bit pulse before them.
    const std::vector<Peak> expected = {{560, 100}, {620, -100}, {680, 100},  {800, -100},
                                        {860, 100}, {920, -100}, {1040, 100}, {1160, -100}};
    ASSERT_EQ(peaks.size(), expected.size());
    for (size_t i = 0; i < peaks.size(); ++i) {
        EXPECT_EQ(peaks[i].nAt, expected[i].nAt) << "pulse " << i;
        EXPECT_EQ(peaks[i].dValue, expected[i].dValue) << "pulse " << i;
    }
}

TEST(PhysicalModulator, PulseWidthAndPolarity)
{
    for (double sigma : {2.0, 8.0}) {
        PhysicalOptions o;
        o.dLevel = 100;
        o.dSigma = sigma;
        o.bInverted = true;
        CPhysicalModulator mod(o);
        mod.AppendSilence(200);
        mod.AppendBits({1});
        mod.AppendSilence(200);
        const std::vector<uint8_t> s = mod.TakeSamples();
        // Inverted: the 1 bit's pulse points down; at one sigma from its
        // centre a Gaussian has fallen to exp(-1/2).
        EXPECT_EQ(s[260], 28);
        EXPECT_NEAR(128.0 - s[260 + static_cast<int>(sigma)], 100.0 * std::exp(-0.5), 0.6);
        EXPECT_EQ(s[260 - static_cast<int>(sigma)], s[260 + static_cast<int>(sigma)]);
    }
}

TEST(PhysicalModulator, ClockErrorStretchesTheBits)
{
    for (double ppm : {-1000.0, 1000.0}) {
        PhysicalOptions o;
        o.dLevel = 100;
        o.dClockPpm = ppm;
        CPhysicalModulator mod(o);
        mod.AppendSilence(100);
        mod.AppendBits(std::vector<uint8_t>(2000, 1));
        const std::vector<Peak> peaks = FindPeaks(mod.TakeSamples(), 50.0);
        ASSERT_EQ(peaks.size(), 2u * 2000 - 1);
        // The last mid-bit pulse is 1999.5 cells after the first bit's start:
        // 239,940 samples on time, 240 more or fewer at 1000 ppm.
        const double expected = 100 + 1999.5 * 120.0 * (1.0 + ppm * 1e-6);
        EXPECT_NEAR(peaks.back().nAt, expected, 1.0);
        EXPECT_NEAR(peaks.back().nAt - 100 - 239940, ppm * 0.24, 1.0);
    }
}

TEST(PhysicalModulator, NoiseRmsFollowsThePeakRatio)
{
    for (double db : {0.0, 6.0, 12.0}) {
        PhysicalOptions o;
        o.dLevel = 40;
        o.dSnrDb = db;
        o.nSeed = 7;
        CPhysicalModulator mod(o);
        mod.AppendSilence(200000);
        EXPECT_NEAR(Rms(mod.TakeSamples()) / (40.0 / std::pow(10.0, db / 20.0)), 1.0, 0.015) << db << " dB";
    }
    // The receiver's low-pass lets through the noise of its equivalent
    // bandwidth: for order 4, 2500 Hz x (pi / 8) / sin(pi / 8) = 2565 Hz of 24 kHz.
    PhysicalOptions o;
    o.dLevel = 40;
    o.dSnrDb = 0.0;
    o.dLowPassHz = PhysicalOptions::kReceiverLowPassHz;
    CPhysicalModulator mod(o);
    mod.AppendSilence(400000);
    EXPECT_NEAR(Rms(mod.TakeSamples()) / 40.0, std::sqrt(2565.0 / 24000.0), 0.015);
}

TEST(PhysicalModulator, FadingDipsTheSignalNotTheNoise)
{
    PhysicalOptions o;
    o.dLevel = 100;
    o.dFadeDepth = 0.7;
    o.dFadeRate = 2.0;
    CPhysicalModulator mod(o);
    mod.AppendBits(std::vector<uint8_t>(800, 1));  // 2 s: four fading cycles
    const std::vector<Peak> peaks = FindPeaks(mod.TakeSamples(), 10.0);
    double lo = 1000, hi = 0;
    for (const Peak& p : peaks) {
        lo = std::min(lo, std::abs(p.dValue));
        hi = std::max(hi, std::abs(p.dValue));
        EXPECT_NEAR(std::abs(p.dValue), 100.0 * mod.FadeAmplitude(p.nAt), 0.6);
    }
    EXPECT_NEAR(lo, 30.0, 1.0);
    EXPECT_NEAR(hi, 100.0, 1.0);
}

TEST(PhysicalModulator, AudioChainCornersWhereTheyBelong)
{
    PhysicalOptions low;
    low.dLowPassHz = 2500;
    EXPECT_NEAR(ToneGain(low, 2500), std::sqrt(0.5), 0.01);
    EXPECT_NEAR(ToneGain(low, 500), 1.0, 0.01);
    EXPECT_LT(ToneGain(low, 5000), 0.07);  // 24 dB an octave

    PhysicalOptions high;
    high.dHighPassHz = 300;
    EXPECT_NEAR(ToneGain(high, 300), std::sqrt(0.5), 0.01);
    EXPECT_NEAR(ToneGain(high, 6000), 1.0, 0.01);
    EXPECT_NEAR(ToneGain(high, 30), 0.1, 0.01);

    PhysicalOptions deemphasis;
    deemphasis.dDeEmphasisUs = 75;
    EXPECT_NEAR(ToneGain(deemphasis, 1.0 / (2 * kPi * 75e-6)), std::sqrt(0.5), 0.01);
    EXPECT_NEAR(ToneGain(deemphasis, 200), 1.0, 0.01);

    PhysicalOptions all;
    all.SetReceiverAudioChain();
    EXPECT_NEAR(ToneGain(all, 1000), ToneGain(low, 1000) * ToneGain(high, 1000) * ToneGain(deemphasis, 1000),
                0.01);
}

TEST(PhysicalModulator, MainDecoderReadsACleanSignalBothWays)
{
    const auto frames = RandomFrames(40, 24, 11);
    for (bool inverted : {false, true}) {
        PhysicalOptions o;
        o.bInverted = inverted;
        EXPECT_EQ(MainDecoderFinds(o, frames), 40) << (inverted ? "inverted" : "upright");
    }
}

TEST(PhysicalModulator, SameSeedSameSignal)
{
    PhysicalOptions o;
    o.dSnrDb = 3;
    o.dFadeDepth = 0.5;
    o.SetReceiverAudioChain();
    CPhysicalModulator a(o), b(o);
    const auto frame = RandomFrames(1, 24, 3)[0];
    EXPECT_EQ(a.AppendFrame(frame), 0u);
    b.AppendFrame(frame);
    EXPECT_EQ(a.SampleCount(), b.SampleCount());
    const std::vector<uint8_t> samples = b.TakeSamples();
    EXPECT_EQ(a.TakeSamples(), samples);
    o.nSeed = 2;
    CPhysicalModulator c(o);
    c.AppendFrame(frame);
    EXPECT_NE(c.TakeSamples(), samples);

    // Taken in pieces (after silence, as a plan is written out), the signal
    // is the same: the noise, the fading and the filters run on.
    CPhysicalModulator whole(o), pieces(o);
    std::vector<uint8_t> joined;
    for (int i = 0; i < 3; ++i) {
        for (CPhysicalModulator* m : {&whole, &pieces}) {
            m->AppendFrame(frame);
            m->AppendSilence(777);
        }
        const std::vector<uint8_t> piece = pieces.TakeSamples();
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(joined, whole.TakeSamples());
}

// A matched filter that knows the timing, the pulse and every other bit,
// run on the generator's own output, misses bits as often as the bound says.
TEST(IdealBound, MatchesAMatchedFilterOnTheModel)
{
    constexpr int kBits = 40000;
    constexpr int kLead = 200;
    constexpr double kLevel = 20.0;
    PhysicalOptions noisy;
    noisy.dLevel = kLevel;
    noisy.dSnrDb = -2.3;
    noisy.nSeed = 5;
    const double d = IdealBitDistance(noisy);
    ASSERT_NEAR(d, 2.5, 0.02);

    std::mt19937 rng(9);
    std::vector<uint8_t> bits(kBits);
    for (uint8_t& b : bits)
        b = static_cast<uint8_t>(rng() & 1);
    auto render = [&](const PhysicalOptions& o, const std::vector<uint8_t>& b) {
        CPhysicalModulator mod(o);
        mod.AppendSilence(kLead);
        mod.AppendBits(b);
        mod.AppendSilence(kLead);
        std::vector<double> v;
        for (uint8_t s : mod.TakeSamples())
            v.push_back(s - 128.0);
        return v;
    };
    // Clean references at a finer level, scaled down.
    PhysicalOptions fine;
    fine.dLevel = 100.0;
    const double scale = kLevel / fine.dLevel;
    const std::vector<double> x = render(noisy, bits);
    const std::vector<double> clean = render(fine, bits);
    // h1 - h0 for bit k given its neighbours, over cells k-1 .. k+1.
    std::vector<double> diff[2][2];
    for (int before = 0; before < 2; ++before)
        for (int after = 0; after < 2; ++after) {
            const auto one = render(fine, {static_cast<uint8_t>(before), 1, static_cast<uint8_t>(after)});
            const auto zero = render(fine, {static_cast<uint8_t>(before), 0, static_cast<uint8_t>(after)});
            for (int i = 0; i < 360; ++i)
                diff[before][after].push_back((one[kLead + i] - zero[kLead + i]) * scale);
        }

    int errors = 0;
    for (int k = 1; k + 1 < kBits; ++k) {
        const std::vector<double>& h = diff[bits[k - 1]][bits[k + 1]];
        const size_t from = static_cast<size_t>(kLead + (k - 1) * 120);
        // Correlate with h1 - h0 after taking away the midpoint between the
        // two hypotheses: the true signal minus or plus half the difference.
        double t = 0.0;
        for (size_t i = 0; i < h.size(); ++i) {
            const double midpoint = clean[from + i] * scale - (bits[k] ? 0.5 : -0.5) * h[i];
            t += (x[from + i] - midpoint) * h[i];
        }
        if ((t > 0) != (bits[k] != 0))
            ++errors;
    }
    const double expected = GaussianTail(d) * (kBits - 2);  // about 248
    EXPECT_NEAR(errors / expected, 1.0, 0.15) << errors << " errors, " << expected << " expected";
}

TEST(IdealBound, FrameSuccessCountsTheBitsOfTheFrame)
{
    const auto frame = RandomFrames(1, 24, 3)[0];
    const int bits = FrameBitsToRead(frame);
    EXPECT_GE(bits, 16 + 192);
    EXPECT_LE(bits, 16 + 192 + 38);
    PhysicalOptions o;
    o.dLevel = 40;
    EXPECT_EQ(IdealFrameSuccess(o, bits), 1.0);
    // At 0 dB with a pulse of sigma 4: d = 3.26, Q(d) = 5.6e-4.
    o.dSnrDb = 0;
    EXPECT_NEAR(IdealBitDistance(o), 3.261, 0.001);
    EXPECT_NEAR(IdealFrameSuccess(o, 211), std::pow(1 - 5.57e-4, 211), 0.003);
    // Fading with every bit at full amplitude changes nothing; at half
    // amplitude the distance halves.
    EXPECT_DOUBLE_EQ(IdealFrameSuccess(o, std::vector<double>(211, 1.0)), IdealFrameSuccess(o, 211));
    PhysicalOptions weaker = o;
    weaker.dSnrDb = -20 * std::log10(2.0);
    EXPECT_NEAR(IdealFrameSuccess(o, std::vector<double>(211, 0.5)), IdealFrameSuccess(weaker, 211), 1e-9);

    // With repair: the binomial chance of at most one or two errors.
    const double p = GaussianTail(IdealBitDistance(weaker));
    const double none = std::pow(1 - p, 211), one = 211 * p * std::pow(1 - p, 210),
                 two = 211 * 210 / 2 * p * p * std::pow(1 - p, 209);
    EXPECT_NEAR(IdealFrameSuccess(weaker, 211, 1), none + one, 1e-12);
    EXPECT_NEAR(IdealFrameSuccess(weaker, 211, 2), none + one + two, 1e-12);
    // Bits of different amplitude: two bits, one sure, one wrong half the time.
    std::vector<double> mixed = {10.0, 0.0};
    EXPECT_NEAR(IdealFrameSuccess(o, mixed), 0.5, 1e-9);
    EXPECT_NEAR(IdealFrameSuccess(o, mixed, 1), 1.0, 1e-9);
}

}  // namespace
