#pragma once
// A second receiver for weak, drifting and band-limited signals, run beside
// the demodulator on the same samples. What it reads:
//
//   discriminator output, one pulse at every phase transition of the bi-phase signal
//
//        bit:     0       1       1       1       1       1       1       0
//   mid pulse:    v       ^       ^       ^       ^       ^       ^       v
//   boundary:                 v       v       v       v       v
//                 (a boundary pulse only between equal bits, of the sign
//                  opposite to the mid pulse before it)
//
//   ...0111 1110 | stuffed frame bits | 0111 1110     flag 0x7E, zero-bit stuffing
//   frame: 5 to 46 bytes, the last two the CRC-16 of the others (as CFrameCheck)
//
// Stages: pairs of samples averaged (24 kHz), the zero line followed; a flag
// search that correlates the thirteen pulses of 0x7E (either polarity) on
// one pulse filter; at each flag found, the pulse filter of the bank that
// fits the flag best, a bit clock that follows a clock error through the
// frame, the pulse height followed through fades, and soft bits from a
// two-state trellis (previous bit) over the mid and boundary pulses. The hard
// bits are de-stuffed and checked; when the check fails, the least reliable
// bits are flipped, cheapest sets first, within a bounded number of trials.
//
// Rejected: a flag correlation under the search threshold; a flag whose bits
// do not come out as 0x7E; a row without a closing flag; a length that is not
// 5 to 46 whole bytes; a frame whose pulses are not clearly above the noise;
// a frame whose check value matches in none of the allowed trials. Every
// frame handed out has a matching check value.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/FrameCheck.h"

struct WeakFrame
{
    std::vector<uint8_t> bytes;  // check bytes included
    // Input sample at which the opening flag's first bit cell starts, as the
    // demodulator counts cells (its decision window lies on the mid pulse).
    int64_t nFlagSample = 0;
    int nTrials = 0;   // check values computed for it (1: it matched as decided)
    int nFlipped = 0;  // bits the repair changed
};

// Limits of the repair: how many check values may be tried per row, how many of the
// least reliable bits are considered, how many of them may flip together, how
// unlikely (sum of |log-likelihood ratio|) the flipped set may be, and the
// median reliability above which a row is too strong for noise to explain a
// weak bit in it.
struct RepairLimits
{
    int nMaxTrials = 4;
    int nCandidateBits = 8;
    int nMaxFlips = 2;
    float fMaxCost = 5.0f;
    float fMaxTypical = 150.0f;
    // The wrong bits the soft values expect in the row (sum over its bits of
    // 1 / (1 + e^|LLR|)), at most, for a repair to be tried.
    float fMaxExpectedWrong = 0.5f;
};

struct SoftDecodeResult
{
    bool bFound = false;
    std::vector<uint8_t> bytes;
    int nTrials = 0;  // check values computed
    int nFlipped = 0;
    int nEndCell = 0;  // last cell of the closing flag (of the bits as decided)
};

// Frames from soft bit cells: cells[0..7] are the opening flag, cells[8..]
// the stuffed frame and its closing flag, reliability[k] >= 0 the weight of
// cell k (|log-likelihood ratio|). The bits as decided first; then, when they
// hold a frame of an accepted length whose check value does not match, flips
// of its least reliable bits (never the flags'), cheapest sets first, within
// the limits. Each check value computed is a trial: a wrong frame passes one
// with a chance of 1 in 65,536, so nMaxTrials bounds what the repair adds.
SoftDecodeResult DecodeSoftCells(const uint8_t* cells, const float* reliability, int nCells,
                                 const RepairLimits& limits, CFrameCheck& check);

class CWeakReceiver
{
public:
    static constexpr int kInputRate = 48000;
    static constexpr int kDecimation = 2;
    static constexpr int kBit = 60;  // samples per bit cell at the working rate
    static constexpr int kMaxCells = 384;

    CWeakReceiver();
    ~CWeakReceiver();
    CWeakReceiver(const CWeakReceiver&) = delete;
    CWeakReceiver& operator=(const CWeakReceiver&) = delete;

    // Unsigned 8-bit samples (128 the zero line), in input order, any block size.
    void ProcessSamples(const uint8_t* samples, size_t n);
    // Frames found since the last call, in the order of their opening flags.
    std::vector<WeakFrame> TakeFrames();

    uint64_t SampleCount() const { return m_nInput; }
    // A frame is handed out at the latest this many input samples after its
    // opening flag's first cell.
    static constexpr int64_t kLatency = 2 * (kMaxCells * kBit + 1200);

    struct Statistics
    {
        uint64_t nCandidates = 0;    // flags looked at
        uint64_t nDecoded = 0;       // rows that gave a frame of a valid length above the noise
        uint64_t nTrials = 0;        // check values computed
        uint64_t nRepairTrials = 0;  // of which for flipped bits
        uint64_t nFrames = 0;        // frames handed out
        uint64_t nRepaired = 0;      // of which repaired
    };
    const Statistics& Stats() const { return m_stats; }
    RepairLimits m_limits;

private:
    struct State;
    void Step(float x);
    // The row of the flag found at working sample t, once it has arrived.
    void DecodeCandidate(int64_t t);

    State* m_p;
    uint64_t m_nInput = 0;
    int m_nPairHalf = -1;  // first sample of the pair waiting for its second
    std::vector<WeakFrame> m_frames;
    Statistics m_stats;
    CFrameCheck m_check;
};
