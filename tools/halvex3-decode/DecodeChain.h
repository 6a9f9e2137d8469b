#pragma once
// The decoding chain of halvex3-decode: 48 kHz unsigned 8-bit samples go
// through the demodulator into the message store, whose clock follows the
// sample count from a given start instant. Every line that goes to the log
// reaches the line callback.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "decoder/Demodulator.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"

struct DecodeOptions
{
    int64_t nStart = 0;             // UTC instant of the first sample
    bool bRequireCrc = true;
    bool bExpand = true;
    std::string strLogDirectory;    // empty: no log files
};

class CDecodeChain
{
public:
    static constexpr int kRate = CDemodulator::kRingLength;  // samples per second

    CDecodeChain(const DecodeOptions& options, std::function<void(const std::string&)> onLine);
    CDecodeChain(const CDecodeChain&) = delete;
    CDecodeChain& operator=(const CDecodeChain&) = delete;

    // Samples in input order, any block size.
    void ProcessBlock(const uint8_t* samples, size_t n);
    // One second of zero line after the input, so that frames sent in the
    // last second reach the oldest end of the window.
    void Finish();

    uint64_t SampleCount() const { return m_nSamples; }
    // Lines that should have gone to a log file but could not be written.
    uint64_t UnloggedLines() const { return m_nUnlogged; }
    // The satellite table the bulletins fill (for settings that keep it).
    CSatelliteTable& Table() { return m_table; }
    CMessageStore& Store() { return m_store; }

private:
    int64_t m_nStart;
    uint64_t m_nSamples = 0;
    uint64_t m_nUnlogged = 0;
    CSatelliteTable m_table;
    CManualClock m_clock;
    CMessageStore m_store;
    CDemodulator m_demod;
};
