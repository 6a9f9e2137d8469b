#pragma once
// The receive chain of one station: 48 kHz unsigned 8-bit samples go through
// the demodulator and the frame check into the message store, which makes the
// message lines, interprets them and fills the satellite table; every kept
// frame then goes to each output. The store's clock follows the sample count
// from a given start instant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/Demodulator.h"
#include "messages/MessageOutput.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"

struct DecodeOptions
{
    int64_t nStart = 0;             // UTC instant of the first sample
    bool bRequireCrc = true;
    bool bExpand = true;
    bool bWeakSignals = false;      // also run the weak-signal receiver
    std::string strLogDirectory;    // empty: no log files
};

class CDecoderChain
{
public:
    static constexpr int kRate = CDemodulator::kRingLength;  // samples per second

    explicit CDecoderChain(const DecodeOptions& options);
    CDecoderChain(const CDecoderChain&) = delete;
    CDecoderChain& operator=(const CDecoderChain&) = delete;

    // Outputs are called in the order they were added; the chain does not own them.
    void AddOutput(IMessageOutput& output) { m_outputs.push_back(&output); }

    // Samples in input order, any block size.
    void ProcessBlock(const uint8_t* samples, size_t n);
    // One second of zero line after the input, so that frames sent in the
    // last second reach the oldest end of the window; then every output is
    // finished. False when an output could not deliver everything.
    bool Finish();

    uint64_t SampleCount() const { return m_nSamples; }
    // Lines that should have gone to a log file but could not be written.
    uint64_t UnloggedLines() const { return m_nUnlogged; }
    // The satellite table the bulletins fill (for settings that keep it).
    CSatelliteTable& Table() { return m_table; }
    CMessageStore& Store() { return m_store; }
    CDemodulator& Demodulator() { return m_demod; }

private:
    int64_t m_nStart;
    uint64_t m_nSamples = 0;
    uint64_t m_nUnlogged = 0;
    CSatelliteTable m_table;
    CManualClock m_clock;
    CMessageStore m_store;
    CDemodulator m_demod;
    std::vector<IMessageOutput*> m_outputs;
};
