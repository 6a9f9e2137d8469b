#pragma once
// A test signal as a receiver's FM discriminator puts it out, and the channel
// between the satellite and the sound card.
//
// The downlink is bi-phase (Manchester) phase modulation: the carrier's phase
// steps in the middle of every bit, one way for a 1 and the other for a 0,
// and steps back at the boundary between two equal bits so that the next
// one can step the same way again. The discriminator puts out the phase's
// derivative, a pulse at every step:
//
//   bits             1       1       0       0       1       0
//   mid-bit pulse    +       +       -       -       +       -
//   boundary pulse       -       .       +       .       .
//
// (a boundary pulse only between equal bits, of the opposite sign to the
// mid-bit pulse before it; none between unequal bits or after silence). A 1
// gives a positive mid-bit pulse, as with CModulator, so the decoder reads
// the same bits upright. The pulses are Gaussian, of adjustable width.
//
// The channel, in the order the signal meets it:
//
//   pulses (peak dLevel) x fading  +  white noise  ->  audio chain
//     ->  polarity  ->  + DC offset  ->  128 + v rounded, clipped to 0..255
//
// The noise is given as the ratio of the pulse peak to the noise RMS, both
// before the audio chain (the receiver's filters act on both alike).
#include <cstdint>
#include <limits>
#include <vector>

#include "synth/SignalGenerator.h"

struct PhysicalOptions
{
    static constexpr double kNoNoise = std::numeric_limits<double>::infinity();
    // A receiver's audio chain, for the corner settings below.
    static constexpr double kReceiverLowPassHz = 2500.0;
    static constexpr double kReceiverHighPassHz = 300.0;
    static constexpr double kReceiverDeEmphasisUs = 75.0;

    double dLevel = 90.0;        // pulse peak, sample units
    double dSigma = 4.0;         // pulse width: the Gaussian's standard deviation, samples
    double dSnrDb = kNoNoise;    // pulse peak to noise RMS, dB (kNoNoise: none)
    double dClockPpm = 0.0;      // bit clock error: + sends slightly slow bits (longer cells)
    double dDcOffset = 0.0;      // added after the audio chain, sample units
    bool bInverted = false;      // reversed polarity
    double dFadeDepth = 0.0;     // 0..1: the signal's amplitude dips to 1 - depth
    double dFadeRate = 0.5;      // fading cycles per second
    double dLowPassHz = 0.0;     // 4th-order Butterworth low-pass corner; 0: off
    double dHighPassHz = 0.0;    // AC coupling, 1st-order high-pass corner; 0: off
    double dDeEmphasisUs = 0.0;  // de-emphasis time constant (1st-order low-pass); 0: off
    uint32_t nSeed = 1;          // noise and fading phase

    // Low-pass, AC coupling and de-emphasis all on, at a receiver's corners.
    void SetReceiverAudioChain()
    {
        dLowPassHz = kReceiverLowPassHz;
        dHighPassHz = kReceiverHighPassHz;
        dDeEmphasisUs = kReceiverDeEmphasisUs;
    }
    // Noise RMS in sample units (0 without noise).
    double NoiseRms() const;
};

// The receiver's audio filters at 48 kHz, as chosen in the options (bilinear
// transform, corners pre-warped so that each is exact).
class CAudioChain
{
public:
    explicit CAudioChain(const PhysicalOptions& options);
    double Process(double x);

private:
    struct Section
    {
        double b0, b1, b2, a1, a2;  // y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2
        double z1 = 0.0, z2 = 0.0;  // transposed direct form II
    };
    std::vector<Section> m_sections;
};

class CPhysicalModulator : public ISignalGenerator
{
public:
    static constexpr int kRate = 48000;
    static constexpr double kCellSamples = 120.0;  // 400 bit/s

    explicit CPhysicalModulator(const PhysicalOptions& options = {});

    void AppendSilence(int nSamples) override;
    void AppendFlags(int nFlags) override;
    uint64_t AppendFrame(const std::vector<uint8_t>& frameWithCrc) override;
    void AppendBits(const std::vector<uint8_t>& bits) override;

    // Samples are final up to the bit clock once taken; a boundary pulse
    // that comes after a take loses the part of its leading tail that was
    // already handed over, so take after silence or a closing flag.
    std::vector<uint8_t> TakeSamples() override;
    uint64_t SampleCount() const override;
    const std::vector<uint8_t>& Samples();
    // The fading's amplitude factor (1 - depth .. 1) at a sample position
    // counted from the generator's first sample.
    double FadeAmplitude(double position) const;

private:
    void AppendBit(int bit);
    void AddPulse(double centre, double amplitude);
    // Makes the samples before position upTo final.
    void Settle(double upTo);
    double Noise();

    PhysicalOptions m_options;
    CAudioChain m_chain;
    std::vector<uint8_t> m_bySamples;
    std::vector<double> m_dPulses;  // pulse sum of the samples after m_bySamples
    double m_dBitClock = 0.0;       // fractional sample position of the next bit cell
    uint64_t m_nTaken = 0;          // samples handed over before m_bySamples
    int m_nLastBit = -1;            // -1: silence, no boundary pulse before the next bit
    double m_dReach;                // a pulse is drawn out to this many samples from its centre
    double m_dNoiseRms;
    double m_dFadePhase;
    uint64_t m_nRandom;
    double m_dSpareNoise = 0.0;
    bool m_bSpare = false;
};
