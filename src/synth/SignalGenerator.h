#pragma once
// What every test-signal generator offers: bits, flags and frames in, 48 kHz
// unsigned 8-bit samples out, so that a plan or a measurement can be sent
// through either pulse shape.
#include <cstdint>
#include <vector>

class ISignalGenerator
{
public:
    virtual ~ISignalGenerator() = default;

    // Zero-line samples (plus whatever the channel adds).
    virtual void AppendSilence(int nSamples) = 0;
    // Idle flags: nFlags times 0x7E.
    virtual void AppendFlags(int nFlags) = 0;
    // One frame: opening flag, stuffed frame bits, closing flag. Returns the
    // sample index at which the opening flag's first bit cell starts.
    virtual uint64_t AppendFrame(const std::vector<uint8_t>& frameWithCrc) = 0;
    // Arbitrary bits (0/1), for broken frames.
    virtual void AppendBits(const std::vector<uint8_t>& bits) = 0;

    // The samples made so far, handed over; counting starts again at 0.
    virtual std::vector<uint8_t> TakeSamples() = 0;
    virtual uint64_t SampleCount() const = 0;
};
