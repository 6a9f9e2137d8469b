// The production demodulator (with its decision cache) against the literal
// transcription of the per-call steps: the same samples must give the same
// frames at the same calls, and the same state, whatever the samples are.
//
//   byte 0: options   bit 0 payload is frame bits (sent between flags), not samples
//                     bit 1 inverted (bits mode)
//   bytes 1-2: call number of a restart (ResetForStart); beyond the end: none
//   rest: samples or bits
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "decoder/Demodulator.h"
#include "decoder/ReferenceDemodulator.h"
#include "support/DecoderTestSupport.h"
#include "synth/Modulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t options = in.TakeByte();
    const size_t restartAt = static_cast<size_t>(in.TakeU16()) * 4;

    std::vector<uint8_t> samples;
    if (options & 0x01) {
        ModulatorOptions mo;
        mo.bInverted = (options & 0x02) != 0;
        CModulator modulator(mo);
        modulator.AppendFlags(1);
        std::vector<uint8_t> bits;
        const size_t n = in.RestSize() < 64 ? in.RestSize() : 64;
        for (size_t i = 0; i < n; ++i)
            for (int b = 7; b >= 0; --b)
                bits.push_back(static_cast<uint8_t>((in.Rest()[i] >> b) & 1));
        modulator.AppendBits(bits);
        modulator.AppendFlags(1);
        modulator.AppendSilence(CDemodulator::kRingLength + 1000);
        samples = modulator.TakeSamples();
    } else {
        // The transcription is slow; a few seconds of audio are plenty.
        const size_t n = in.RestSize() < 150000 ? in.RestSize() : 150000;
        samples.assign(in.Rest(), in.Rest() + n);
    }

    CRecordingSink fastSink, refSink;
    auto fast = std::make_unique<CDemodulator>(&fastSink);
    auto ref = std::make_unique<CReferenceDemodulator>(&refSink);
    for (size_t t = 0; t < samples.size(); ++t) {
        if (t == restartAt) {
            fast->ResetForStart();
            ref->ResetForStart();
        }
        fast->ProcessSample(samples[t]);
        ref->ProcessSample(samples[t]);
        ++fastSink.m_nCall;
        ++refSink.m_nCall;
        FUZZ_CHECK(fast->m_nRowCount == ref->m_nRowCount);
        FUZZ_CHECK(fast->m_nSkipCount == ref->m_nSkipCount);
        FUZZ_CHECK(fastSink.m_frames.size() == refSink.m_frames.size());
    }
    FUZZ_CHECK(fastSink.m_frames == refSink.m_frames);
    FUZZ_CHECK(fast->m_nSampleIndex == ref->m_nSampleIndex);
    return 0;
}
