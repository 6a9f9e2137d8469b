#pragma once
// 400 bit/s demodulator and frame synchroniser, fed one 8-bit sample at a time.
//
//   ...0111 1110 | b[0] b[1] ... b[n-1] | 0111 1110...   flag, stuffed frame, flag
//   b[n-2], b[n-1]: CRC-16 of b[0..n-3], high byte first
//
// The last 48,000 samples are kept in a ring; at every sample the oldest eight
// 120-sample bit cells of that one-second window are decided and tested for
// the flag 0x7E (or 0x81 for a reversed signal). A run of four or more
// consecutive matching starting samples gives a frame, taken from the row
// decided at the run's middle, de-stuffed and cut into bytes (5 to 46).
#include <cstddef>
#include <cstdint>

#include "decoder/FrameCheck.h"

// Receives every frame the demodulator extracts, with the check's verdict.
class IFrameSink
{
public:
    virtual ~IFrameSink() = default;
    virtual void OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict) = 0;
};

class CDemodulator
{
public:
    static constexpr int kRingLength = 48000;  // one second
    static constexpr int kCellSamples = 120;   // 400 bit/s
    static constexpr int kFilterLength = 24;
    static constexpr int kRowCells = 384;
    static constexpr int kRows = 10;  // rows 0..9 are written
    static constexpr int kSkipPerByte = 960;

    explicit CDemodulator(IFrameSink* sink = nullptr);
    CDemodulator(const CDemodulator&) = delete;
    CDemodulator& operator=(const CDemodulator&) = delete;

    void SetSink(IFrameSink* sink) { m_pSink = sink; }

    // sample: unsigned 8-bit value 0..255 (128 is the zero line).
    void ProcessSample(int sample);
    // The same as ProcessSample for each of n samples in turn, faster.
    void ProcessSamples(const uint8_t* samples, size_t n);
    // Start of a capture run: the write index and the row count go back to 0;
    // the ring, the bit rows and the skip count stay as they are.
    void ResetForStart();

    // State, named as the rest of the program knows it.
    int32_t m_nSampleRing[kRingLength] = {};
    int m_nSampleIndex = 0;
    uint8_t m_byBitRows[5120] = {};
    int m_nRowCount = 0;
    int m_nSkipCount = 0;
    CFrameCheck m_frameCheck;

private:
    template <class SampleAt>
    void Run(size_t n, SampleAt sampleAt);
    // Decides every slot's bit and packed flag byte again from the ring.
    void RebuildDecisions();
    // Steps after a flag run of four or more: de-stuff the chosen row, check
    // the length, hand the bytes on, set the skip.
    void ExtractFrame(int chosenRow);

    IFrameSink* m_pSink;
    // Fast-path state (the decision cache) lives here; see Demodulator.cpp.
    // It follows the ring through ProcessSample and ResetForStart only.
    struct FastState;
    FastState* m_pFast;

public:
    ~CDemodulator();
};
