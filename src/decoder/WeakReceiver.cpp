#include "decoder/WeakReceiver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>

// Units: after the pair average the working rate is 24 kHz, a bit cell is 60
// samples, and bit k of a frame has its mid pulse at t0 + k * period. The
// pulse height a (the filtered signal at a pulse's centre) is 2 units of the
// trellis: mid pulse of bit value v: a * (2v - 1); boundary pulse between
// bits of values u, v: -a * ((2u - 1) + (2v - 1)) / 2, so a or -a between
// equal bits and nothing between unequal ones.

namespace {

constexpr int kRing = 1 << 15;  // 1.37 s at 24 kHz: a whole row and the search's delay
constexpr int kMask = kRing - 1;
constexpr int kBit = CWeakReceiver::kBit;
constexpr int kHalf = kBit / 2;
constexpr int kDcWindow = 2 * kBit;  // the pulses of two cells sum to about nothing
constexpr int kCells = CWeakReceiver::kMaxCells;

// The flag's thirteen pulses, offsets from bit 0's mid pulse and their signs.
struct FlagPulse
{
    int nOffset;
    float fSign;
};
constexpr std::array<FlagPulse, 13> kFlagPulses = {{
    {0 * kBit, -1},
    {1 * kBit, 1},
    {2 * kBit, 1},
    {3 * kBit, 1},
    {4 * kBit, 1},
    {5 * kBit, 1},
    {6 * kBit, 1},
    {7 * kBit, -1},
    {1 * kBit + kHalf, -1},
    {2 * kBit + kHalf, -1},
    {3 * kBit + kHalf, -1},
    {4 * kBit + kHalf, -1},
    {5 * kBit + kHalf, -1},
}};
constexpr int kFlagSpan = 7 * kBit;

// Search: one medium pulse filter, a flag correlation over the normalised
// noise, and a candidate at every local peak above the threshold.
constexpr float kSearchSigma = 2.8f;
constexpr float kSearchThreshold = 5.0f;
constexpr int kPeakHold = kHalf;  // a peak must stay the highest for half a cell
constexpr float kNoiseRate = 1.0f / 12000.0f;

// The bank of pulse filters tried at each candidate, sigma at 24 kHz.
constexpr std::array<float, 5> kBankSigma = {1.2f, 2.0f, 3.2f, 5.0f, 7.5f};
constexpr int kRefine = 4;  // the bank's flag correlation is tried +-4 samples around the search's

// Frames whose mean pulse-to-noise power ratio is below this are taken for noise.
constexpr float kMinSnr = 2.0f;

struct Kernel
{
    std::vector<float> taps;  // taps[j] weights x[t - half + j]
    int half = 0;
    float fSpread2 = 0.0f;  // squared width of the filtered pulse
};

Kernel MakeGaussian(float sigma)
{
    Kernel k;
    k.half = static_cast<int>(std::ceil(3.0f * sigma)) + 1;
    k.taps.resize(static_cast<size_t>(2 * k.half + 1));
    double norm = 0.0;
    for (int j = -k.half; j <= k.half; ++j) {
        const double g = std::exp(-0.5 * j * j / (sigma * sigma));
        k.taps[static_cast<size_t>(j + k.half)] = static_cast<float>(g);
        norm += g * g;
    }
    // Unit energy: every filter of the bank passes white noise at the same power.
    for (float& t : k.taps)
        t = static_cast<float>(t / std::sqrt(norm));
    k.fSpread2 = 2.0f * sigma * sigma + 0.25f;
    return k;
}

}  // namespace

struct CWeakReceiver::State
{
    std::vector<float> raw = std::vector<float>(kRing, 0.0f);     // pair sums
    std::vector<float> x = std::vector<float>(kRing, 0.0f);       // zero line removed
    std::vector<float> search = std::vector<float>(kRing, 0.0f);  // search filter output
    int64_t n = 0;                                                // pair sums written
    float fDcSum = 0.0f;
    float fNoise = 1.0f;  // mean square of the search filter output
    Kernel searchKernel = MakeGaussian(kSearchSigma);
    std::vector<Kernel> bank;
    // Peak search.
    bool bPeakOpen = false;
    int64_t nPeakT = 0;
    float fPeakScore = 0.0f;
    // Flags waiting for their row to arrive, and the end of the last frame found.
    std::deque<int64_t> candidates;
    int64_t nSkipUntil = 0;
    // Work space of one candidate.
    std::vector<float> mid = std::vector<float>(kCells), edge = std::vector<float>(kCells),
                       height = std::vector<float>(kCells), llr = std::vector<float>(kCells),
                       quarter = std::vector<float>(kCells);
    std::vector<uint8_t> cells = std::vector<uint8_t>(kCells);
    // Trellis metrics: forward before each cell, backward after it.
    std::vector<std::array<float, 2>> fwd = std::vector<std::array<float, 2>>(kCells + 1),
                                      bwd = std::vector<std::array<float, 2>>(kCells + 1);

    State()
    {
        for (float s : kBankSigma)
            bank.push_back(MakeGaussian(s));
    }

    // Filter output at sample i (x must be written up to i + k.half).
    float At(const Kernel& k, int64_t i) const
    {
        float sum = 0.0f;
        const int64_t first = i - k.half;
        const float* taps = k.taps.data();
        const int len = static_cast<int>(k.taps.size());
        const int start = static_cast<int>(first & kMask);
        if (start + len <= kRing) {
            const float* p = x.data() + start;
            for (int j = 0; j < len; ++j)
                sum += taps[j] * p[j];
        } else {
            for (int j = 0; j < len; ++j)
                sum += taps[j] * x[static_cast<size_t>((first + j) & kMask)];
        }
        return sum;
    }
    // Linear interpolation between filter outputs.
    float AtFraction(const Kernel& k, double t) const
    {
        const double fl = std::floor(t);
        const int64_t i = static_cast<int64_t>(fl);
        const float f = static_cast<float>(t - fl);
        return At(k, i) * (1.0f - f) + At(k, i + 1) * f;
    }
    float FlagCorrelation(const Kernel& k, int64_t t) const
    {
        float c = 0.0f;
        for (const FlagPulse& p : kFlagPulses)
            c += p.fSign * At(k, t + p.nOffset);
        return c;
    }
};

CWeakReceiver::CWeakReceiver() : m_p(new State) {}

CWeakReceiver::~CWeakReceiver()
{
    delete m_p;
}

std::vector<WeakFrame> CWeakReceiver::TakeFrames()
{
    std::vector<WeakFrame> out;
    out.swap(m_frames);
    return out;
}

void CWeakReceiver::ProcessSamples(const uint8_t* samples, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const int v = static_cast<int>(samples[i]) - 128;
        ++m_nInput;
        if (m_nPairHalf < 0) {
            m_nPairHalf = v + 1024;
            continue;
        }
        const float pair = static_cast<float>(m_nPairHalf - 1024 + v);
        m_nPairHalf = -1;
        Step(pair);
    }
}

// One pair sum: zero line, search filter, flag correlation, peak search, and
// the rows that are now complete.
void CWeakReceiver::Step(float value)
{
    State& s = *m_p;
    const int64_t n = s.n++;
    const float old = s.raw[static_cast<size_t>((n - kDcWindow) & kMask)];
    s.raw[static_cast<size_t>(n & kMask)] = value;
    s.fDcSum += value - old;
    if ((n & 0xFFFF) == 0) {
        // Keep the running sum from gathering rounding errors.
        float sum = 0.0f;
        for (int j = 0; j < kDcWindow; ++j)
            sum += s.raw[static_cast<size_t>((n - j) & kMask)];
        s.fDcSum = sum;
    }
    const int64_t c = n - kDcWindow / 2;
    s.x[static_cast<size_t>(c & kMask)] =
        s.raw[static_cast<size_t>(c & kMask)] - s.fDcSum * (1.0f / kDcWindow);

    const int64_t u = c - s.searchKernel.half;
    const float y = s.At(s.searchKernel, u);
    s.search[static_cast<size_t>(u & kMask)] = y;
    s.fNoise += kNoiseRate * (y * y - s.fNoise);

    const int64_t t = u - kFlagSpan;
    if (t > kBit) {
        float corr = 0.0f;
        for (const FlagPulse& p : kFlagPulses)
            corr += p.fSign * s.search[static_cast<size_t>((t + p.nOffset) & kMask)];
        const float noise = std::max(s.fNoise, 0.25f);
        const float score = std::fabs(corr) / std::sqrt(13.0f * noise);
        if (score >= kSearchThreshold && (!s.bPeakOpen || score > s.fPeakScore)) {
            s.bPeakOpen = true;
            s.nPeakT = t;
            s.fPeakScore = score;
        }
        if (s.bPeakOpen && t - s.nPeakT >= kPeakHold) {
            s.bPeakOpen = false;
            s.candidates.push_back(s.nPeakT);
        }
    }

    // A candidate's row, with room for a clock error, is in x now.
    while (!s.candidates.empty()) {
        const int64_t t0 = s.candidates.front();
        const int64_t need = t0 + static_cast<int64_t>(kCells * kBit * 1.004) + kHalf + 40;
        if (c < need)
            break;
        s.candidates.pop_front();
        if (t0 >= s.nSkipUntil)
            DecodeCandidate(t0);
    }
}

void CWeakReceiver::DecodeCandidate(int64_t t0)
{
    State& s = *m_p;
    ++m_stats.nCandidates;

    // The bank's best fit to the flag, to a fraction of a sample.
    int best = 0;
    int64_t bestT = t0;
    float bestC = 0.0f;
    for (size_t w = 0; w < s.bank.size(); ++w) {
        for (int d = -kRefine; d <= kRefine; ++d) {
            const float cw = s.FlagCorrelation(s.bank[w], t0 + d);
            if (std::fabs(cw) > std::fabs(bestC)) {
                bestC = cw;
                best = static_cast<int>(w);
                bestT = t0 + d;
            }
        }
    }
    const Kernel& k = s.bank[static_cast<size_t>(best)];
    const float sign = bestC >= 0.0f ? 1.0f : -1.0f;
    double t = static_cast<double>(bestT);
    {
        const float l = std::fabs(s.FlagCorrelation(k, bestT - 1));
        const float r = std::fabs(s.FlagCorrelation(k, bestT + 1));
        const float m = std::fabs(bestC);
        const float den = l - 2.0f * m + r;
        if (den < 0.0f)
            t += std::clamp(0.5f * (l - r) / den, -0.5f, 0.5f);
    }
    float a = std::fabs(bestC) / 13.0f;
    if (a <= 0.0f)
        return;

    // Bit clock and pulse height followed through the row. The timing error
    // of a pulse of height y with slope y' is about y y' w2 / a^2 samples
    // (w2 the squared width of the filtered pulse); mid and boundary pulses
    // both count, each by its own height. The loop is wide on the flag and
    // narrows over the first bytes.
    double period = kBit;
    const double nominal = kBit;
    for (int cell = 0; cell < kCells; ++cell) {
        const float ym = sign * s.AtFraction(k, t);
        const float yb = sign * s.AtFraction(k, t - period / 2);
        const float dm = sign * 0.5f * (s.AtFraction(k, t + 1.0) - s.AtFraction(k, t - 1.0));
        const float db =
            sign * 0.5f * (s.AtFraction(k, t - period / 2 + 1.0) - s.AtFraction(k, t - period / 2 - 1.0));
        s.mid[static_cast<size_t>(cell)] = ym;
        s.edge[static_cast<size_t>(cell)] = yb;
        // Halfway between the pulses: noise, and the tails of the pulses on
        // either side.
        s.quarter[static_cast<size_t>(cell)] =
            sign * s.AtFraction(k, t - period / 4) + sign * s.AtFraction(k, t + period / 4);
        s.height[static_cast<size_t>(cell)] = a;
        const float weight = std::max(std::fabs(ym) + std::fabs(yb), a);
        float err = (ym * dm + yb * db) * k.fSpread2 / (a * weight);
        const float lim = std::sqrt(k.fSpread2);
        err = std::clamp(err, -lim, lim);
        const double gear = cell < 16 ? 2.5 : (cell < 48 ? 1.6 : 1.0);
        const double kp = 0.05 * gear;
        const double ki = 0.0008 * gear * gear;
        period += ki * err;
        period = std::clamp(period, nominal * 0.996, nominal * 1.004);
        t += period + kp * err;
        a += 0.05f * (std::fabs(ym) - a);
        a = std::max(a, 1e-3f);
    }

    // Two-state trellis over the cells: state = value of the current bit.
    // Branch (u -> v) at cell k: mid ym against a(2v-1), boundary yb against
    // -a((2u-1)+(2v-1))/2. Max-log forward and backward passes.
    auto branch = [&](int cell, int u, int v) {
        const float h = s.height[static_cast<size_t>(cell)];
        const float sv = v ? 1.0f : -1.0f;
        const float su = u ? 1.0f : -1.0f;
        const float eb = -0.5f * h * (su + sv);
        return s.mid[static_cast<size_t>(cell)] * h * sv + s.edge[static_cast<size_t>(cell)] * eb -
               0.5f * eb * eb;
    };
    auto& fwd = s.fwd;
    auto& bwd = s.bwd;
    fwd[0] = {0.0f, 0.0f};
    for (int cell = 0; cell < kCells; ++cell) {
        for (int v = 0; v < 2; ++v)
            fwd[static_cast<size_t>(cell + 1)][static_cast<size_t>(v)] =
                std::max(fwd[static_cast<size_t>(cell)][0] + branch(cell, 0, v),
                         fwd[static_cast<size_t>(cell)][1] + branch(cell, 1, v));
        const float norm = fwd[static_cast<size_t>(cell + 1)][0];
        fwd[static_cast<size_t>(cell + 1)][0] -= norm;
        fwd[static_cast<size_t>(cell + 1)][1] -= norm;
    }
    bwd[kCells] = {0.0f, 0.0f};
    for (int cell = kCells - 1; cell >= 0; --cell) {
        // bwd[cell][u]: best continuation from state u before cell `cell`.
        for (int u = 0; u < 2; ++u)
            bwd[static_cast<size_t>(cell)][static_cast<size_t>(u)] =
                std::max(branch(cell, u, 0) + bwd[static_cast<size_t>(cell + 1)][0],
                         branch(cell, u, 1) + bwd[static_cast<size_t>(cell + 1)][1]);
        const float norm = bwd[static_cast<size_t>(cell)][0];
        bwd[static_cast<size_t>(cell)][0] -= norm;
        bwd[static_cast<size_t>(cell)][1] -= norm;
    }
    for (int cell = 0; cell < kCells; ++cell) {
        float best1 = -1e30f, best0 = -1e30f;
        for (int u = 0; u < 2; ++u) {
            const float f = fwd[static_cast<size_t>(cell)][static_cast<size_t>(u)];
            best0 = std::max(best0, f + branch(cell, u, 0) + bwd[static_cast<size_t>(cell + 1)][0]);
            best1 = std::max(best1, f + branch(cell, u, 1) + bwd[static_cast<size_t>(cell + 1)][1]);
        }
        s.llr[static_cast<size_t>(cell)] = best1 - best0;
        s.cells[static_cast<size_t>(cell)] = best1 > best0 ? 1 : 0;
    }

    // The opening flag must come out as decided by the search.
    static constexpr uint8_t kFlag[8] = {0, 1, 1, 1, 1, 1, 1, 0};
    if (std::memcmp(s.cells.data(), kFlag, 8) != 0)
        return;

    // Noise from what the decided bits leave unexplained, up to the closing
    // flag as decided (or the whole row).
    int end = kCells;
    {
        int ones = 0;
        for (int cell = 8; cell < kCells; ++cell) {
            if (s.cells[static_cast<size_t>(cell)]) {
                if (++ones == 6) {
                    end = cell + 1;
                    break;
                }
            } else {
                ones = 0;
            }
        }
    }
    // Noise from the points halfway between pulses, less the pulse tails the
    // decided bits put there; the signal must stand clear of it over the
    // whole frame, not only on average (a flag followed by silence must not
    // pass on the flag's strength).
    const float tail = std::exp(-0.5f * (kHalf / 2.0f) * (kHalf / 2.0f) / k.fSpread2);
    double residual = 0.0;
    for (int cell = 1; cell < end; ++cell) {
        const float h = s.height[static_cast<size_t>(cell)];
        const float sv = s.cells[static_cast<size_t>(cell)] ? 1.0f : -1.0f;
        const float su = s.cells[static_cast<size_t>(cell - 1)] ? 1.0f : -1.0f;
        const float sw = cell + 1 < kCells ? (s.cells[static_cast<size_t>(cell + 1)] ? 1.0f : -1.0f) : sv;
        // Mid pulse on both sides; the boundary pulses before and after.
        const float expected = tail * h * (2.0f * sv - 0.5f * (su + sv) - 0.5f * (sv + sw));
        const float r = s.quarter[static_cast<size_t>(cell)] - expected;
        residual += r * r;
    }
    // Two points per cell, each the sum of two samples of the filter.
    const double noise = std::max(residual / (2.0 * (end - 1)), 1e-6);
    float weakest = 1e30f;
    for (int cell = 8; cell < end; ++cell)
        weakest = std::min(weakest, s.height[static_cast<size_t>(cell)]);
    if (static_cast<double>(weakest) * weakest < kMinSnr * noise)
        return;
    ++m_stats.nDecoded;
    const float scale = static_cast<float>(1.0 / noise);
    for (int cell = 0; cell < kCells; ++cell)
        s.llr[static_cast<size_t>(cell)] = std::fabs(s.llr[static_cast<size_t>(cell)]) * scale;

    SoftDecodeResult r = DecodeSoftCells(s.cells.data(), s.llr.data(), kCells, m_limits, m_check);
    m_stats.nTrials += static_cast<uint64_t>(r.nTrials);
    m_stats.nRepairTrials += static_cast<uint64_t>(std::max(r.nTrials - 1, 0));
    if (!r.bFound)
        return;
    ++m_stats.nFrames;
    if (r.nFlipped > 0)
        ++m_stats.nRepaired;
    WeakFrame f;
    f.bytes = std::move(r.bytes);
    f.nTrials = r.nTrials;
    f.nFlipped = r.nFlipped;
    // Bit 0's mid pulse lies at the centre of the demodulator's decision
    // window, 11.5 input samples into its cell; working sample i covers
    // input samples 2i and 2i + 1.
    f.nFlagSample = static_cast<int64_t>(std::llround(2.0 * static_cast<double>(bestT) + 0.5 - 11.5));
    m_frames.push_back(std::move(f));
    // The closing flag may open the next frame.
    s.nSkipUntil = bestT + static_cast<int64_t>((r.nEndCell - 8) * kBit) + kHalf;
}

// --- Frames from soft cells -------------------------------------------------------

namespace {

// De-stuffs cells 8.. and cuts bytes, as the demodulator does; false when
// there is no closing flag or the length is refused.
bool Destuff(const uint8_t* cells, int nCells, uint8_t* bytes, int& n, int& endCell)
{
    uint8_t bits[CWeakReceiver::kMaxCells];
    int write = 0;
    int ones = 0;
    for (int read = 8; read < nCells; ++read) {
        const uint8_t c = cells[read];
        if (c) {
            bits[write++] = 1;
            if (++ones == 6) {
                // write counts from cell 8: the demodulator's w is write + 8.
                const int w = write + 8;
                if (w <= 48 || w % 8 != 7)
                    return false;
                n = (w - 15) / 8;
                for (int i = 0; i < n; ++i) {
                    int b = 0;
                    for (int j = 0; j < 8; ++j)
                        b = (b << 1) | bits[8 * i + j];
                    bytes[i] = static_cast<uint8_t>(b);
                }
                endCell = read;
                return true;
            }
        } else {
            if (ones < 5)
                bits[write++] = 0;
            ones = 0;
        }
    }
    return false;
}

}  // namespace

SoftDecodeResult DecodeSoftCells(const uint8_t* cells, const float* reliability, int nCells,
                                 const RepairLimits& limits, CFrameCheck& check)
{
    SoftDecodeResult result;
    nCells = std::min(nCells, CWeakReceiver::kMaxCells);
    uint8_t work[CWeakReceiver::kMaxCells];
    std::memcpy(work, cells, static_cast<size_t>(nCells));
    uint8_t bytes[CWeakReceiver::kMaxCells / 8];
    int n = 0;
    int endCell = 0;

    // A closing flag is 0111 1110: the six 1 bits of random data followed by
    // a seventh are no flag (an abort, in the link layer's terms). The
    // demodulator does not look at that bit; for the receiver it halves the
    // rows of random data that reach a check.
    // What follows a frame is idle: another flag, or no signal (soft values
    // far weaker than the frame's). Random data goes on after the six 1 bits
    // it happens to hold, and is turned away here before a check.
    auto idleAfter = [&](int close) {
        const int from = close + 2;
        if (from + 8 > nCells)
            return true;  // the row ends first: nothing to go by
        static constexpr uint8_t kIdleFlag[8] = {0, 1, 1, 1, 1, 1, 1, 0};
        if (std::memcmp(work + from, kIdleFlag, 8) == 0)
            return true;
        std::vector<float> frame(reliability + 8, reliability + close - 7);
        if (frame.empty())
            return false;
        std::nth_element(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(frame.size() / 2),
                         frame.end());
        float after = 0.0f;
        for (int k = from; k < from + 8; ++k)
            after += reliability[k];
        return after / 8.0f < 0.5f * frame[frame.size() / 2];
    };
    auto attempt = [&]() {
        if (!Destuff(work, nCells, bytes, n, endCell))
            return false;
        if (endCell + 1 < nCells && work[endCell + 1] != 0)
            return false;
        if (!idleAfter(endCell))
            return false;
        ++result.nTrials;
        return check.CheckFrame(bytes, n).bMatched;
    };
    auto accept = [&](int flipped) {
        result.bFound = true;
        result.bytes.assign(bytes, bytes + n);
        result.nFlipped = flipped;
        result.nEndCell = endCell;
        return result;
    };

    if (limits.nMaxTrials <= 0)
        return result;
    if (attempt())
        return accept(0);
    // Only a row that already holds a frame of an accepted length is
    // repaired, and only in the frame's own bits: the closing flag and the
    // length stand as decided. Bits of random data end at an accepted
    // length only about once in ten, so they rarely get as far as a trial.
    if (!Destuff(work, nCells, bytes, n, endCell) || (endCell + 1 < nCells && work[endCell + 1] != 0) ||
        !idleAfter(endCell))
        return result;
    const int last = endCell - 7;  // the closing flag's 0 and six 1 bits stay
    // Rows whose trials would only be chances for a false frame are not
    // repaired: one the soft values are in doubt about (more than half a
    // wrong bit expected: a bad stretch, a row timed half a cell off, or
    // random data that happens to end like a frame, where each trial is one
    // more chance of 1 in 65,536 for a false frame; a frame needs the repair
    // mostly for one or two weak bits in a row otherwise clear), and one
    // so strong that noise does not explain a weak bit in it (the weak bits
    // of such a row come from something else: a slip, interference, a row
    // that is not a frame). The soft values are somewhat sure of themselves
    // (timing jitter is not in them): on the physical signal at 3 dB, rows of
    // median 60 still hold a wrong bit now and then; at 20 dB the median is
    // about 2,000.
    double expectedWrong = 0.0;
    std::vector<float> sorted(reliability + 8, reliability + last);
    for (float r : sorted)
        expectedWrong += 1.0 / (1.0 + std::exp(static_cast<double>(std::min(r, 40.0f))));
    if (expectedWrong > std::min<double>(limits.nMaxFlips, limits.fMaxExpectedWrong) || sorted.empty())
        return result;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                     sorted.end());
    if (sorted[sorted.size() / 2] > limits.fMaxTypical)
        return result;
    std::vector<int> weak;
    for (int k = 8; k < last; ++k)
        weak.push_back(k);
    const size_t keep = std::min(weak.size(), static_cast<size_t>(std::max(limits.nCandidateBits, 0)));
    std::partial_sort(weak.begin(), weak.begin() + static_cast<std::ptrdiff_t>(keep), weak.end(),
                      [&](int a, int b) { return reliability[a] < reliability[b]; });
    weak.resize(keep);

    // Every set of 1 to nMaxFlips of them within the cost, cheapest first.
    struct FlipSet
    {
        float cost;
        std::array<int8_t, 4> idx;
        int count;
    };
    std::vector<FlipSet> sets;
    const int m = static_cast<int>(weak.size());
    const int maxFlips = std::clamp(limits.nMaxFlips, 0, 4);
    auto cost = [&](int i) { return reliability[weak[static_cast<size_t>(i)]]; };
    for (int a = 0; a < m && maxFlips >= 1; ++a) {
        sets.push_back({cost(a), {static_cast<int8_t>(a), 0, 0, 0}, 1});
        for (int b = a + 1; b < m && maxFlips >= 2; ++b) {
            sets.push_back({cost(a) + cost(b), {static_cast<int8_t>(a), static_cast<int8_t>(b), 0, 0}, 2});
            for (int c = b + 1; c < m && maxFlips >= 3; ++c) {
                sets.push_back({cost(a) + cost(b) + cost(c),
                                {static_cast<int8_t>(a), static_cast<int8_t>(b), static_cast<int8_t>(c), 0},
                                3});
                for (int d = c + 1; d < m && maxFlips >= 4; ++d)
                    sets.push_back({cost(a) + cost(b) + cost(c) + cost(d),
                                    {static_cast<int8_t>(a), static_cast<int8_t>(b), static_cast<int8_t>(c),
                                     static_cast<int8_t>(d)},
                                    4});
            }
        }
    }
    std::sort(sets.begin(), sets.end(), [](const FlipSet& x, const FlipSet& y) { return x.cost < y.cost; });

    for (const FlipSet& f : sets) {
        if (result.nTrials >= limits.nMaxTrials || f.cost > limits.fMaxCost)
            break;
        for (int i = 0; i < f.count; ++i)
            work[weak[static_cast<size_t>(f.idx[static_cast<size_t>(i)])]] ^= 1;
        const bool ok = attempt();
        if (ok)
            return accept(f.count);
        for (int i = 0; i < f.count; ++i)
            work[weak[static_cast<size_t>(f.idx[static_cast<size_t>(i)])]] ^= 1;
    }
    return result;
}
