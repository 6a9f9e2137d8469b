#include "synth/Modulator.h"

#include <algorithm>
#include <cmath>

#include "decoder/FrameCheck.h"

// One bit cell of 120 samples (longer or shorter by the clock error):
//
//   cell position  0 .. 5   6 .. 17   18 .. 119
//   a 1 bit        zero      +L        zero line
//   a 0 bit        zero      -L        zero line
//
// The pulse fills the +1 part of the decision filter (weights -1 x6, +1 x12,
// -1 x6), so a cell read on time gives D = +-12 L, and read s samples early
// or late D = +-(12 - 2|s|) L: the flag is found at eleven consecutive
// starting samples (s = -5 .. 5) and the row is taken at s = -1. The filter's
// weights sum to zero, so a neighbouring part of the signal is always read
// somewhere with the opposite sign; with this pulse that inverted reading
// (s = -17 .. -7) is as wide and about half as strong, and it is exact at
// D = 0 (s = +-6), which separates the two runs: a clean frame is taken from
// the inverted run, and when noise spoils that reading the on-time run
// follows and takes it. The quiet tail keeps neighbouring cells apart.
namespace {

constexpr double kCellSamples = 120.0;
constexpr double kPi = 3.14159265358979323846;

}  // namespace

std::vector<uint8_t> AppendCrc(std::vector<uint8_t> body)
{
    CFrameCheck check;
    unsigned crc = 0;
    for (uint8_t b : body)
        crc = check.CrcUpdate(crc, b) & 0xFFFF;
    body.push_back(static_cast<uint8_t>(crc >> 8));
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    return body;
}

std::vector<uint8_t> StuffFrameBits(const std::vector<uint8_t>& frame)
{
    std::vector<uint8_t> bits;
    bits.reserve(frame.size() * 8 + frame.size() * 8 / 5 + 1);
    int ones = 0;
    for (uint8_t byte : frame) {
        for (int k = 7; k >= 0; --k) {
            const uint8_t bit = static_cast<uint8_t>((byte >> k) & 1);
            bits.push_back(bit);
            if (bit == 0) {
                ones = 0;
                continue;
            }
            if (++ones == 5) {
                bits.push_back(0);
                ones = 0;
            }
        }
    }
    return bits;
}

CModulator::CModulator(const ModulatorOptions& options)
    : m_options(options), m_nRandom(0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(options.nSeed) << 1))
{
}

double CModulator::Noise()
{
    if (m_options.dNoise == 0.0)
        return 0.0;
    // splitmix64 and Box-Muller: the same seed gives the same signal everywhere.
    auto next = [this]() {
        uint64_t z = (m_nRandom += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) * (1.0 / 9007199254740992.0);  // (0, 1)
    };
    const double u1 = next();
    const double u2 = next();
    return m_options.dNoise * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
}

uint8_t CModulator::Quantise(double value)
{
    const double v = std::round(128.0 + value + m_options.dDcOffset + Noise());
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

void CModulator::AppendSilence(int nSamples)
{
    if (nSamples <= 0)
        return;
    for (int i = 0; i < nSamples; ++i)
        m_bySamples.push_back(Quantise(0.0));
    m_dBitClock += nSamples;
}

void CModulator::AppendBit(int bit)
{
    const double cell = kCellSamples * (1.0 + m_options.dClockPpm * 1e-6);
    const double start = m_dBitClock;
    const double end = start + cell;
    double level = bit != 0 ? m_options.dLevel : -m_options.dLevel;
    if (m_options.bInverted)
        level = -level;
    for (double i = static_cast<double>(m_bySamples.size()); i < end; i += 1.0) {
        const double j = i - start;
        const double v = (j >= 6.0 && j < 18.0) ? level : 0.0;
        m_bySamples.push_back(Quantise(v));
    }
    m_dBitClock = end;
}

void CModulator::AppendBits(const std::vector<uint8_t>& bits)
{
    for (uint8_t b : bits)
        AppendBit(b != 0 ? 1 : 0);
}

void CModulator::AppendFlags(int nFlags)
{
    for (int f = 0; f < nFlags; ++f)
        for (int k = 7; k >= 0; --k)
            AppendBit((0x7E >> k) & 1);
}

uint64_t CModulator::AppendFrame(const std::vector<uint8_t>& frameWithCrc)
{
    const uint64_t start = m_bySamples.size();
    AppendFlags(1);
    AppendBits(StuffFrameBits(frameWithCrc));
    AppendFlags(1);
    return start;
}

std::vector<uint8_t> CModulator::TakeSamples()
{
    // The bit clock counts from the start of the buffer; keep it continuous
    // so a long signal can be written out in pieces.
    m_dBitClock -= static_cast<double>(m_bySamples.size());
    std::vector<uint8_t> out;
    out.swap(m_bySamples);
    return out;
}
