#pragma once
// The decoder's per-call steps written out literally, as slow as they are
// meant to be: 192 ring reads per call, every index reduced modulo 48,000.
// The production CDemodulator must behave exactly like this, call for call.
#include <cstdint>

#include "decoder/Demodulator.h"
#include "decoder/FrameCheck.h"

class CReferenceDemodulator
{
public:
    explicit CReferenceDemodulator(IFrameSink* sink = nullptr) : m_pSink(sink) {}

    int32_t m_nSampleRing[48000] = {};
    int m_nSampleIndex = 0;
    uint8_t m_byBitRows[5120] = {};
    int m_nRowCount = 0;
    int m_nSkipCount = 0;
    CFrameCheck m_frameCheck;

    void ResetForStart()
    {
        m_nSampleIndex = 0;
        m_nRowCount = 0;
    }

    int DecisionValue(int p) const
    {
        int d = 0;
        for (int q = 0; q < 6; ++q)
            d -= m_nSampleRing[(m_nSampleIndex + p + q) % 48000];
        for (int q = 6; q < 18; ++q)
            d += m_nSampleRing[(m_nSampleIndex + p + q) % 48000];
        for (int q = 18; q < 24; ++q)
            d -= m_nSampleRing[(m_nSampleIndex + p + q) % 48000];
        return d;
    }
    int DecideBit(int p) const { return DecisionValue(p) > 0 ? 1 : 0; }

    void ProcessSample(int sample)
    {
        // 1. store, advance
        m_nSampleRing[m_nSampleIndex] = sample - 128;
        m_nSampleIndex = (m_nSampleIndex + 1) % 48000;
        // 2. skip
        if (m_nSkipCount > 0) {
            --m_nSkipCount;
            return;
        }
        // 3. flag test
        uint8_t* row = &m_byBitRows[m_nRowCount * 384];
        int reg = 0;
        for (int k = 0; k < 8; ++k) {
            const int bit = DecideBit(120 * k);
            row[k] = static_cast<uint8_t>(bit);
            reg = reg * 2 + bit;
        }
        // 4. upright flag
        if (reg == 0x7E) {
            for (int k = 8; k < 384; ++k)
                row[k] = static_cast<uint8_t>(DecideBit(120 * k));
            if (m_nRowCount < 9)
                ++m_nRowCount;
            return;
        }
        // 5. inverted flag
        if (reg == 0x81) {
            for (int k = 8; k < 384; ++k)
                row[k] = static_cast<uint8_t>(DecideBit(120 * k));
            for (int k = 0; k < 384; ++k)
                row[k] = static_cast<uint8_t>(1 - row[k]);
            if (m_nRowCount < 9)
                ++m_nRowCount;
            return;
        }
        // 6. end of a run, or nothing
        if (m_nRowCount <= 3) {
            m_nRowCount = 0;
            return;
        }
        const int chosen = m_nRowCount / 2;
        // 7. copy to row 0
        for (int k = 0; k < 384; ++k)
            m_byBitRows[k] = m_byBitRows[chosen * 384 + k];
        // 8. de-stuff in place
        int w = 8;
        int count = 0;
        bool closed = false;
        for (int r = 8; r < 384; ++r) {
            m_byBitRows[w] = m_byBitRows[r];
            if (m_byBitRows[r] == 1) {
                ++count;
                ++w;
                if (count == 6) {
                    closed = true;
                    break;
                }
            } else {
                if (count < 5)
                    ++w;
                count = 0;
            }
        }
        // 9. length test
        if (closed && w > 48 && w % 8 == 7) {
            const int n = (w - 15) / 8;
            // 10. bytes
            uint8_t bytes[48];
            for (int i = 0; i < n; ++i) {
                int b = 0;
                for (int k = 0; k < 8; ++k)
                    b = b * 2 + m_byBitRows[8 + 8 * i + k];
                bytes[i] = static_cast<uint8_t>(b);
            }
            // 11. check, hand on, skip
            const FrameVerdict verdict = m_frameCheck.CheckFrame(bytes, n);
            if (m_pSink != nullptr)
                m_pSink->OnFrame(bytes, n, verdict);
            if (verdict.bMatched)
                m_nSkipCount = n * 960;
        }
        // 12.
        m_nRowCount = 0;
    }

private:
    IFrameSink* m_pSink;
};
