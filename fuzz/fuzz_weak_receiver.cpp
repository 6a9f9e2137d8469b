// The weak-signal receiver on untrusted audio: whatever the samples, it must
// not crash, and every frame it hands out must be 5 to 46 bytes with a
// matching check value, found within its trial bound, in the order of the
// opening flags.
//
//   byte 0: options   bit 0 payload is frame bits, not samples
//                     bit 1 inverted, bits 2-3 clock error (0, +-700, +1000 ppm),
//                     bits 4-7 noise (bits mode: 24 - 2 x value dB)
//   byte 1: block size of the feed, in 97-sample steps (0: all at once)
//   rest:   unsigned 8-bit samples, or bits (MSB first) sent between flags
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "decoder/WeakReceiver.h"
#include "synth/PhysicalModulator.h"

namespace {

std::vector<uint8_t> SamplesFromBits(const uint8_t* data, size_t size, uint8_t options)
{
    PhysicalOptions po;
    po.bInverted = (options & 0x02) != 0;
    static const double kPpm[] = {0.0, 700.0, -700.0, 1000.0};
    po.dClockPpm = kPpm[(options >> 2) & 3];
    po.dSnrDb = 24.0 - 2.0 * ((options >> 4) & 15);
    CPhysicalModulator modulator(po);
    modulator.AppendSilence(1000);
    modulator.AppendFlags(1);
    std::vector<uint8_t> bits;
    const size_t n = size < 64 ? size : 64;  // a row's worth
    for (size_t i = 0; i < n; ++i)
        for (int b = 7; b >= 0; --b)
            bits.push_back(static_cast<uint8_t>((data[i] >> b) & 1));
    modulator.AppendBits(bits);
    modulator.AppendFlags(1);
    modulator.AppendSilence(2000);
    return modulator.TakeSamples();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t options = in.TakeByte();
    const size_t block = static_cast<size_t>(in.TakeByte()) * 97;

    std::vector<uint8_t> samples;
    if (options & 0x01)
        samples = SamplesFromBits(in.Rest(), in.RestSize(), options);
    else
        samples.assign(in.Rest(), in.Rest() + in.RestSize());
    // Zero line after the input so that a row begun near its end is decided.
    samples.insert(samples.end(), static_cast<size_t>(CWeakReceiver::kLatency) + 2000, 128);

    CWeakReceiver receiver;
    CFrameCheck check;
    int64_t lastFlag = -1000000;
    size_t at = 0;
    while (at < samples.size()) {
        const size_t n = block == 0 ? samples.size() - at : std::min(block, samples.size() - at);
        receiver.ProcessSamples(samples.data() + at, n);
        at += n;
        for (const WeakFrame& f : receiver.TakeFrames()) {
            const int bytes = static_cast<int>(f.bytes.size());
            FUZZ_CHECK(bytes >= 5 && bytes <= 46);
            FUZZ_CHECK(check.CheckFrame(f.bytes.data(), bytes).bMatched);
            FUZZ_CHECK(f.nTrials >= 1 && f.nTrials <= receiver.m_limits.nMaxTrials);
            FUZZ_CHECK(f.nFlipped >= 0 && f.nFlipped <= receiver.m_limits.nMaxFlips);
            FUZZ_CHECK(f.nFlagSample > lastFlag);
            FUZZ_CHECK(f.nFlagSample < static_cast<int64_t>(receiver.SampleCount()));
            lastFlag = f.nFlagSample;
        }
    }
    const CWeakReceiver::Statistics& stats = receiver.Stats();
    FUZZ_CHECK(stats.nFrames <= stats.nDecoded && stats.nDecoded <= stats.nCandidates);
    FUZZ_CHECK(stats.nTrials <= stats.nDecoded * static_cast<uint64_t>(receiver.m_limits.nMaxTrials));
    return 0;
}
