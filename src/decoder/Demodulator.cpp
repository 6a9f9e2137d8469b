#include "decoder/Demodulator.h"

#include <algorithm>
#include <array>
#include <cstring>

// The per-sample search, made cheap.
//
// The bit decided at window offset p of a call depends only on ring slots
// s .. s+23, s = (index + p) mod 48000:
//
//   D(s) = -(x[s] .. x[s+5]) + (x[s+6] .. x[s+17]) - (x[s+18] .. x[s+23]),  bit = D > 0
//
// so it is a property of the slot, not of the call. It is worked out once,
// when the last of its 24 samples (slot s+23) is written, from three sliding
// sums, and kept in m_byDecision. A call reads decisions at offsets 0 ..
// 45960, whose windows end at offset 45983; the stale decisions are only
// those of the 23 slots written last (offsets 47977 .. 47999), which are
// never read. So the cached bit equals the one decided on the fly.
//
// The flag register of a call holds the bits at offsets 0, 120, .., 840, the
// first one most significant. Every slot also keeps the packed byte
//
//   G(s) = (G(s - 120) << 1 | bit(s)) & 0xFF
//
// so that the register is the single byte G(oldest slot + 840). G(s) is
// made right after bit(s), from G(s - 120) made 120 writes earlier; bits
// that change later only affect G at offsets below 840, and those are
// rebuilt before they reach offset 840. Only a flag match reads the 376
// further bits of a row.
//
// Start moves the write index to slot 0 while the ring keeps its samples, so
// the write order jumps: ResetForStart then rebuilds every decision and every
// packed byte from the ring as it stands, and the argument above holds again.

namespace {

constexpr int kN = CDemodulator::kRingLength;
constexpr int kCell = CDemodulator::kCellSamples;
constexpr int kRow = CDemodulator::kRowCells;

inline int Wrap(int i)
{
    return i >= kN ? i - kN : (i < 0 ? i + kN : i);
}

// The eight cells (0/1, first bit in cell 0) of each register value.
struct CellTable
{
    std::array<std::array<uint8_t, 8>, 256> cells{};
    CellTable()
    {
        for (int v = 0; v < 256; ++v)
            for (int k = 0; k < 8; ++k)
                cells[v][k] = static_cast<uint8_t>((v >> (7 - k)) & 1);
    }
};
const CellTable kCells_;

}  // namespace

struct CDemodulator::FastState
{
    // Slot s is kept at [s % 120][s / 120]: the slots of one row (a step of
    // 120) lie side by side, so a row is copied rather than gathered.
    static constexpr int kCells = kN / kCell;  // 400
    uint8_t m_byDecision[kN] = {};             // bit decided at each starting slot
    uint8_t m_byPacked[kN] = {};               // G(s): bits of s-840, .., s-120, s
    // Sums over the slots before the write index w: w-5 .. w-1, w-17 .. w-6
    // and w-23 .. w-18.
    int m_nHead = 0;
    int m_nMiddle = 0;
    int m_nTail = 0;
    // m_nSampleIndex as phase (index % 120) and cell (index / 120).
    int m_nPhase = 0;
    int m_nCell = 0;

    static int At(int slot) { return (slot % kCell) * kCells + slot / kCell; }
};

CDemodulator::CDemodulator(IFrameSink* sink) : m_pSink(sink), m_pFast(new FastState) {}

CDemodulator::~CDemodulator()
{
    delete m_pFast;
}

void CDemodulator::ResetForStart()
{
    m_nSampleIndex = 0;
    m_nRowCount = 0;
    RebuildDecisions();
}

void CDemodulator::RebuildDecisions()
{
    FastState& f = *m_pFast;
    for (int s = 0; s < kN; ++s) {
        int d = 0;
        for (int q = 0; q < kFilterLength; ++q) {
            const int x = m_nSampleRing[Wrap(s + q)];
            d += (q < 6 || q >= 18) ? -x : x;
        }
        f.m_byDecision[FastState::At(s)] = d > 0 ? 1 : 0;
    }
    for (int s = 0; s < kN; ++s) {
        int g = 0;
        for (int k = 7; k >= 0; --k)
            g = (g << 1) | f.m_byDecision[FastState::At(Wrap(s - k * kCell))];
        f.m_byPacked[FastState::At(s)] = static_cast<uint8_t>(g);
    }
    const int w = m_nSampleIndex;
    f.m_nHead = f.m_nMiddle = f.m_nTail = 0;
    for (int q = 1; q <= 5; ++q)
        f.m_nHead += m_nSampleRing[Wrap(w - q)];
    for (int q = 6; q <= 17; ++q)
        f.m_nMiddle += m_nSampleRing[Wrap(w - q)];
    for (int q = 18; q <= 23; ++q)
        f.m_nTail += m_nSampleRing[Wrap(w - q)];
    f.m_nPhase = w % kCell;
    f.m_nCell = w / kCell;
}

void CDemodulator::ProcessSample(int sample)
{
    Run(1, [sample](size_t) { return sample; });
}

void CDemodulator::ProcessSamples(const uint8_t* samples, size_t n)
{
    Run(n, [samples](size_t i) { return static_cast<int>(samples[i]); });
}

// The per-call steps for n samples in a row, with the running state held in
// locals and written back before anything outside can look at it.
template <class SampleAt>
void CDemodulator::Run(size_t n, SampleAt sampleAt)
{
    constexpr int kCells = FastState::kCells;
    FastState& f = *m_pFast;
    int w = m_nSampleIndex;
    int head = f.m_nHead;
    int middle = f.m_nMiddle;
    int tail = f.m_nTail;
    int indexPhase = f.m_nPhase;
    int indexCell = f.m_nCell;
    int skip = m_nSkipCount;
    auto writeBack = [&]() {
        m_nSampleIndex = w;
        f.m_nHead = head;
        f.m_nMiddle = middle;
        f.m_nTail = tail;
        f.m_nPhase = indexPhase;
        f.m_nCell = indexCell;
        m_nSkipCount = skip;
    };

    for (size_t i = 0; i < n; ++i) {
        const int v = sampleAt(i) - 128;
        m_nSampleRing[w] = v;

        // Slot w completes the 24-sample window that starts at slot w - 23.
        int phase = indexPhase - 23;
        int cell = indexCell;
        if (phase < 0) {
            phase += kCell;
            cell = cell == 0 ? kCells - 1 : cell - 1;
        }
        const int d = middle - tail - head - v;
        const uint8_t bit = d > 0 ? 1 : 0;
        uint8_t* packed = f.m_byPacked + phase * kCells;
        f.m_byDecision[phase * kCells + cell] = bit;
        packed[cell] = static_cast<uint8_t>((packed[cell == 0 ? kCells - 1 : cell - 1] << 1) | bit);
        const int x5 = m_nSampleRing[Wrap(w - 5)];
        const int x17 = m_nSampleRing[Wrap(w - 17)];
        head += v - x5;
        middle += x5 - x17;
        tail += x17 - m_nSampleRing[Wrap(w - 23)];

        w = w + 1 == kN ? 0 : w + 1;
        if (++indexPhase == kCell) {
            indexPhase = 0;
            if (++indexCell == kCells)
                indexCell = 0;
        }

        if (skip > 0) {
            --skip;
            continue;
        }

        // The bits at offsets 0, 120, .., 840 share the oldest slot's phase.
        const uint8_t* rowDecisions = f.m_byDecision + indexPhase * kCells;
        const int flagEnd = indexCell + 7;
        const uint8_t reg =
            f.m_byPacked[indexPhase * kCells + (flagEnd >= kCells ? flagEnd - kCells : flagEnd)];
        uint8_t* row = m_byBitRows + m_nRowCount * kRow;
        std::memcpy(row, kCells_.cells[reg].data(), 8);

        if (reg == 0x7E || reg == 0x81) {
            // Cells 8 .. 383 are the decisions of the next 376 slots of this
            // phase, in at most two pieces around the ring's end.
            int first = indexCell + 8;
            if (first >= kCells)
                first -= kCells;
            const int before = std::min(kRow - 8, kCells - first);
            std::memcpy(row + 8, rowDecisions + first, before);
            std::memcpy(row + 8 + before, rowDecisions, kRow - 8 - before);
            if (reg == 0x81)
                for (int k = 0; k < kRow; ++k)
                    row[k] ^= 1;
            if (m_nRowCount < 9)
                ++m_nRowCount;
            continue;
        }

        if (m_nRowCount >= 4) {
            writeBack();
            ExtractFrame(m_nRowCount / 2);
            skip = m_nSkipCount;
        }
        m_nRowCount = 0;
    }
    writeBack();
}

//   cell 0..7   8 ............................ w-8  w-7 .. w-1
//   0111 1110 | frame bits, stuffing removed | 0 111111 (closing flag)
// Rejected: no six 1 bits before cell 384, fewer than 40 bits, or a bit count
// that is not a whole number of bytes.
void CDemodulator::ExtractFrame(int chosenRow)
{
    uint8_t* row0 = m_byBitRows;
    if (chosenRow != 0)
        std::memcpy(row0, m_byBitRows + chosenRow * kRow, kRow);

    int write = 8;
    int ones = 0;
    bool closed = false;
    for (int read = 8; read < kRow; ++read) {
        const uint8_t cell = row0[read];
        row0[write] = cell;
        if (cell == 1) {
            ++ones;
            ++write;
            if (ones == 6) {
                closed = true;
                break;
            }
        } else {
            if (ones < 5)
                ++write;
            ones = 0;
        }
    }
    if (!closed || write <= 48 || write % 8 != 7)
        return;

    const int n = (write - 15) / 8;
    uint8_t bytes[kRow / 8];
    for (int i = 0; i < n; ++i) {
        const uint8_t* cells = row0 + 8 + 8 * i;
        int b = 0;
        for (int k = 0; k < 8; ++k)
            b = (b << 1) | cells[k];
        bytes[i] = static_cast<uint8_t>(b);
    }
    const FrameVerdict verdict = m_frameCheck.CheckFrame(bytes, n);
    if (m_pSink != nullptr)
        m_pSink->OnFrame(bytes, n, verdict);
    if (verdict.bMatched)
        m_nSkipCount = n * kSkipPerByte;
}
