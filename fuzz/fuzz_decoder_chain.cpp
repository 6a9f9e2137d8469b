// The whole receive chain on untrusted audio: samples one at a time through
// the decoder chain (demodulator, message store, its interpretation and the
// satellite table), its clock following the samples, no log files.
//
//   byte 0: options   bit 0 Require CRC off   bit 1 Expand messages off
//                     bit 2 payload is frame bits, not samples
//                     bit 3 restart (ResetForStart) half-way
//                     bit 4 inverted, bits 5-7 noise (bits mode)
//                     bit 5 also the weak-signal receiver
//   rest:   unsigned 8-bit samples, or bits (MSB first) sent between flags
//
// The bits mode lets the fuzzer shape frames directly; the samples mode tests
// the demodulator on whatever a receiver may produce.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "decoder/Demodulator.h"
#include "messages/DecoderChain.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"
#include "synth/Modulator.h"

namespace {

constexpr int64_t kStart = 1241186607;  // 2009-05-01 14:03:27 UTC

std::vector<uint8_t> SamplesFromBits(const uint8_t* data, size_t size, uint8_t options)
{
    ModulatorOptions mo;
    mo.bInverted = (options & 0x10) != 0;
    mo.dNoise = ((options >> 5) & 7) * 6.0;
    CModulator modulator(mo);
    modulator.AppendSilence(1000);
    modulator.AppendFlags(2);
    std::vector<uint8_t> bits;
    // At most a few rows' worth: longer payloads teach the fuzzer nothing new.
    const size_t n = size < 256 ? size : 256;
    for (size_t i = 0; i < n; ++i)
        for (int b = 7; b >= 0; --b)
            bits.push_back(static_cast<uint8_t>((data[i] >> b) & 1));
    modulator.AppendBits(bits);
    modulator.AppendFlags(2);
    modulator.AppendSilence(CDemodulator::kRingLength + 2000);
    return modulator.TakeSamples();
}

void CheckTable(const CSatelliteTable& table)
{
    for (int i = 0; i < CSatelliteTable::kEntries; ++i) {
        if (i >= 16) {
            // Frames carry a 4-bit code: nothing may reach the upper entries.
            FUZZ_CHECK(table.m_nEqx[i] == 0 && table.m_dEql[i] == 0.0 && table.m_dPer[i] == 0.0 &&
                       table.m_dInc[i] == 0.0);
            continue;
        }
        if (table.m_dPer[i] == 0.0 && table.m_dInc[i] == 0.0 && table.m_dEql[i] == 0.0)
            continue;  // never written
        FUZZ_CHECK(table.m_dEql[i] >= 0.0 && table.m_dEql[i] <= 524.287 + 1e-9);
        FUZZ_CHECK(table.m_dPer[i] >= 5700.0 - 1e-6 && table.m_dPer[i] <= 6682.98 + 1e-6);
        FUZZ_CHECK(table.m_dInc[i] >= 97.0 - 1e-9 && table.m_dInc[i] <= 103.5535 + 1e-9);
    }
}

class CCheckingOutput : public IMessageOutput
{
public:
    int m_nFrames = 0;
    void Write(const MessageRecord& record) override
    {
        FUZZ_CHECK(record.frame.size() >= 5 && record.frame.size() <= 46);
        FUZZ_CHECK(record.strLine.find('\n') == std::string::npos);
        FUZZ_CHECK(record.strExpansion.find('\n') == std::string::npos);
        ++m_nFrames;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t options = in.TakeByte();

    std::vector<uint8_t> samples;
    if (options & 0x04)
        samples = SamplesFromBits(in.Rest(), in.RestSize(), options);
    else
        samples.assign(in.Rest(), in.Rest() + in.RestSize());

    DecodeOptions decode;
    decode.nStart = kStart;
    decode.bRequireCrc = (options & 0x01) == 0;
    decode.bExpand = (options & 0x02) == 0;
    decode.bWeakSignals = (options & 0x20) != 0;
    CDecoderChain chain(decode);
    CCheckingOutput output;
    chain.AddOutput(output);
    int nLines = 0;
    chain.Store().m_onLogLine = [&](const std::string& line, bool written) {
        FUZZ_CHECK(!written);
        FUZZ_CHECK(line.find('\n') == std::string::npos);
        ++nLines;
    };
    CDemodulator& demod = chain.Demodulator();

    const size_t restartAt = (options & 0x08) ? samples.size() / 2 : samples.size() + 1;
    for (size_t t = 0; t < samples.size(); ++t) {
        if (t == restartAt) {
            demod.ResetForStart();
            chain.Store().ClearForStart();
        }
        chain.ProcessBlock(&samples[t], 1);
        FUZZ_CHECK(demod.m_nRowCount >= 0 && demod.m_nRowCount <= 9);
        FUZZ_CHECK(demod.m_nSkipCount >= 0 && demod.m_nSkipCount <= 46 * CDemodulator::kSkipPerByte);
        FUZZ_CHECK(demod.m_nSampleIndex >= 0 && demod.m_nSampleIndex < CDemodulator::kRingLength);
        FUZZ_CHECK(chain.Store().m_nMessageIndex >= 0 &&
                   chain.Store().m_nMessageIndex < CMessageStore::kRingSlots);
    }
    const CSatelliteTable& table = chain.Table();
    CheckTable(table);
    // Each frame gives at most a message line and an expansion line.
    FUZZ_CHECK(nLines <= 2 * output.m_nFrames);
    return 0;
}
