#pragma once
// Test-signal generator: the inverse of the demodulator. Frames (with their
// CRC) are sent between 0x7E flags with zero-bit stuffing, most significant
// bit first, at 400 bit/s, as 48 kHz unsigned 8-bit audio the demodulator
// reads. Used by the tests, the benchmarks and halvex3-synth.
//
// The pulse is the "classic" shape: a rectangle on cell samples 6 to 17,
// just where the demodulator's decision filter looks (see Modulator.cpp).
// It proves the decoder's logic exactly; for what a receiver really puts
// out, use CPhysicalModulator.
#include <cstdint>
#include <vector>

#include "synth/SignalGenerator.h"

struct ModulatorOptions
{
    double dLevel = 90.0;    // peak amplitude in sample units (0..127)
    double dNoise = 0.0;     // standard deviation of added white noise, sample units
    bool bInverted = false;  // reversed polarity
    double dClockPpm = 0.0;  // bit clock error: + sends slightly slow bits (longer cells)
    double dDcOffset = 0.0;  // added to every sample, sample units
    uint32_t nSeed = 1;      // noise generator seed
};

// Appends the CRC-16 (high byte first) to a frame body.
std::vector<uint8_t> AppendCrc(std::vector<uint8_t> body);
// The bits of a frame after zero-bit stuffing, most significant bit first
// (no flags).
std::vector<uint8_t> StuffFrameBits(const std::vector<uint8_t>& frame);

class CModulator : public ISignalGenerator
{
public:
    explicit CModulator(const ModulatorOptions& options = {});

    // Zero-line samples (plus noise and DC offset).
    void AppendSilence(int nSamples) override;
    // Idle flags: nFlags times 0x7E.
    void AppendFlags(int nFlags) override;
    // One frame: opening flag, stuffed frame bits, closing flag. Returns the
    // sample index at which the opening flag's first bit cell starts.
    uint64_t AppendFrame(const std::vector<uint8_t>& frameWithCrc) override;
    // Arbitrary bits (0/1), for broken frames.
    void AppendBits(const std::vector<uint8_t>& bits) override;

    const std::vector<uint8_t>& Samples() const { return m_bySamples; }
    std::vector<uint8_t> TakeSamples() override;
    uint64_t SampleCount() const override { return m_bySamples.size(); }

private:
    void AppendBit(int bit);
    uint8_t Quantise(double value);
    double Noise();

    ModulatorOptions m_options;
    std::vector<uint8_t> m_bySamples;
    double m_dBitClock = 0.0;  // fractional sample position of the next bit cell
    uint64_t m_nRandom;
};
