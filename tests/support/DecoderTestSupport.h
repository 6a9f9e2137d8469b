#pragma once
// Shared pieces of the decoder tests: a sink that records every frame with
// the number of the call that produced it, and signal helpers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/Demodulator.h"

struct RecordedFrame
{
    uint64_t nCall = 0;  // 0-based number of the ProcessSample call
    std::vector<uint8_t> bytes;
    FrameVerdict verdict;

    bool operator==(const RecordedFrame& o) const
    {
        return nCall == o.nCall && bytes == o.bytes && verdict.wComputed == o.verdict.wComputed &&
               verdict.wReceived == o.verdict.wReceived && verdict.bMatched == o.verdict.bMatched;
    }
};

class CRecordingSink : public IFrameSink
{
public:
    void OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict) override
    {
        m_frames.push_back({m_nCall, std::vector<uint8_t>(bytes, bytes + n), verdict});
    }
    uint64_t m_nCall = 0;
    std::vector<RecordedFrame> m_frames;
};

// Feeds samples to a demodulator, keeping the sink's call counter in step.
template <class Demod>
void Feed(Demod& demod, CRecordingSink& sink, const std::vector<uint8_t>& samples)
{
    for (uint8_t s : samples) {
        demod.ProcessSample(s);
        ++sink.m_nCall;
    }
}

// Frames with exactly the given matched count and contents.
inline int CountMatching(const std::vector<RecordedFrame>& got, const std::vector<std::vector<uint8_t>>& sent)
{
    int found = 0;
    size_t next = 0;
    for (const RecordedFrame& f : got) {
        if (!f.verdict.bMatched)
            continue;
        for (size_t i = next; i < sent.size(); ++i) {
            if (sent[i] == f.bytes) {
                ++found;
                next = i + 1;
                break;
            }
        }
    }
    return found;
}

// A sample-exact test signal. Each 1 bit is a pulse over cell positions
// 3 .. 20, which the decision filter reads as 1 from every starting sample
// within 8 of the cell start; 0 bits stay on the zero line (D = 0 exactly).
// The flag's two 0 cells carry one sample each that turns them into 1 bits
// for starting offsets outside lo .. hi, so the flag is found at exactly
// hi - lo + 1 consecutive starting samples. An optional mark cell holds a
// pattern that reads as 1 only from starting offset markDelta (within
// markDelta - 6 .. markDelta + 6) and as 0 around it.
struct CraftedSignal
{
    std::vector<uint8_t> samples;
    int nFlagStart = 0;  // sample index of the opening flag's first cell
};

inline CraftedSignal BuildCraftedSignal(const std::vector<uint8_t>& bitsAfterFlag, int lo, int hi,
                                        int markCell = -1, int markDelta = 0, int lead = 1000,
                                        int tail = 50000)
{
    constexpr int kA = 20;
    constexpr int kH = 10;
    std::vector<uint8_t> cells = {0, 1, 1, 1, 1, 1, 1, 0};
    cells.insert(cells.end(), bitsAfterFlag.begin(), bitsAfterFlag.end());
    const int total = lead + static_cast<int>(cells.size()) * 120 + tail;
    std::vector<int> v(static_cast<size_t>(total), 0);
    for (size_t c = 0; c < cells.size(); ++c) {
        const int start = lead + static_cast<int>(c) * 120;
        if (static_cast<int>(c) == markCell) {
            v[start + markDelta + 6] += kH;
            v[start + markDelta + 17] += 2 * kH;
            v[start + markDelta + 18] -= kH;
        } else if (cells[c] != 0) {
            for (int j = 3; j < 21; ++j)
                v[start + j] += kA;
        }
    }
    v[lead + hi + 18] += kA;           // cell 0 reads 1 from offset hi + 1 on
    v[lead + 7 * 120 + lo + 5] += kA;  // cell 7 reads 1 up to offset lo - 1
    CraftedSignal out;
    out.nFlagStart = lead;
    out.samples.reserve(v.size());
    for (int x : v)
        out.samples.push_back(static_cast<uint8_t>(128 + x));
    return out;
}
