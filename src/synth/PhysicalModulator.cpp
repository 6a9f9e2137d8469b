#include "synth/PhysicalModulator.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "synth/Modulator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = CPhysicalModulator::kRate;

// splitmix64: the same seed gives the same signal everywhere.
uint64_t NextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Uniform(uint64_t& state)  // (0, 1)
{
    return (static_cast<double>(NextRandom(state) >> 11) + 0.5) * (1.0 / 9007199254740992.0);
}

}  // namespace

double PhysicalOptions::NoiseRms() const
{
    if (std::isinf(dSnrDb))
        return 0.0;
    return dLevel * std::pow(10.0, -dSnrDb / 20.0);
}

CAudioChain::CAudioChain(const PhysicalOptions& options)
{
    if (options.dLowPassHz > 0.0) {
        // Butterworth of order 4: two sections with Q = 1 / (2 sin((2k - 1) pi / 8)).
        const double k = std::tan(kPi * options.dLowPassHz / kFs);
        for (double q : {0.54119610014619698, 1.3065629648763766}) {
            const double norm = 1.0 / (1.0 + k / q + k * k);
            const double b0 = k * k * norm;
            m_sections.push_back(
                {b0, 2.0 * b0, b0, 2.0 * (k * k - 1.0) * norm, (1.0 - k / q + k * k) * norm});
        }
    }
    if (options.dHighPassHz > 0.0) {
        const double k = std::tan(kPi * options.dHighPassHz / kFs);
        const double b0 = 1.0 / (1.0 + k);
        m_sections.push_back({b0, -b0, 0.0, (k - 1.0) / (k + 1.0), 0.0});
    }
    if (options.dDeEmphasisUs > 0.0) {
        const double corner = 1.0 / (2.0 * kPi * options.dDeEmphasisUs * 1e-6);
        const double k = std::tan(kPi * corner / kFs);
        const double b0 = k / (1.0 + k);
        m_sections.push_back({b0, b0, 0.0, (k - 1.0) / (k + 1.0), 0.0});
    }
}

double CAudioChain::Process(double x)
{
    for (Section& s : m_sections) {
        const double y = s.b0 * x + s.z1;
        s.z1 = s.b1 * x - s.a1 * y + s.z2;
        s.z2 = s.b2 * x - s.a2 * y;
        x = y;
    }
    return x;
}

CPhysicalModulator::CPhysicalModulator(const PhysicalOptions& options)
    : m_options(options),
      m_chain(options),
      m_dReach(std::ceil(6.0 * std::max(options.dSigma, 0.1))),
      m_dNoiseRms(options.NoiseRms()),
      m_nRandom(0x6A09E667F3BCC909ull ^ (static_cast<uint64_t>(options.nSeed) << 1))
{
    // The fading starts at a phase of its cycle given by the seed.
    m_dFadePhase = 2.0 * kPi * Uniform(m_nRandom);
}

double CPhysicalModulator::Noise()
{
    if (m_dNoiseRms == 0.0)
        return 0.0;
    if (m_bSpare) {
        m_bSpare = false;
        return m_dSpareNoise;
    }
    // Box-Muller gives two independent values per pair of draws.
    const double r = m_dNoiseRms * std::sqrt(-2.0 * std::log(Uniform(m_nRandom)));
    const double a = 2.0 * kPi * Uniform(m_nRandom);
    m_dSpareNoise = r * std::sin(a);
    m_bSpare = true;
    return r * std::cos(a);
}

double CPhysicalModulator::FadeAmplitude(double position) const
{
    const double dip =
        0.5 * (1.0 - std::cos(2.0 * kPi * m_options.dFadeRate / kFs * position + m_dFadePhase));
    return 1.0 - m_options.dFadeDepth * dip;
}

void CPhysicalModulator::AddPulse(double centre, double amplitude)
{
    const double base = static_cast<double>(m_bySamples.size());
    const double first = std::max(std::ceil(centre - m_dReach), base);
    const double last = std::floor(centre + m_dReach);
    if (last < first)
        return;
    const size_t end = static_cast<size_t>(last - base) + 1;
    if (m_dPulses.size() < end)
        m_dPulses.resize(end, 0.0);
    const double scale = -0.5 / (m_options.dSigma * m_options.dSigma);
    for (double i = first; i <= last; i += 1.0) {
        const double t = i - centre;
        m_dPulses[static_cast<size_t>(i - base)] += amplitude * std::exp(scale * t * t);
    }
}

void CPhysicalModulator::Settle(double upTo)
{
    const double target = std::ceil(upTo);
    const double base = static_cast<double>(m_bySamples.size());
    if (target <= base)
        return;
    const size_t n = static_cast<size_t>(target - base);
    const bool fading = m_options.dFadeDepth > 0.0;
    const double polarity = m_options.bInverted ? -1.0 : 1.0;
    uint64_t index = m_nTaken + m_bySamples.size();
    for (size_t k = 0; k < n; ++k, ++index) {
        double v = k < m_dPulses.size() ? m_dPulses[k] : 0.0;
        if (fading)
            v *= FadeAmplitude(static_cast<double>(index));
        v = m_chain.Process(v + Noise());
        v = polarity * v + m_options.dDcOffset;
        m_bySamples.push_back(static_cast<uint8_t>(std::clamp(std::round(128.0 + v), 0.0, 255.0)));
    }
    m_dPulses.erase(m_dPulses.begin(),
                    m_dPulses.begin() + static_cast<std::ptrdiff_t>(std::min(n, m_dPulses.size())));
}

void CPhysicalModulator::AppendBit(int bit)
{
    const double cell = kCellSamples * (1.0 + m_options.dClockPpm * 1e-6);
    const double sign = bit != 0 ? 1.0 : -1.0;
    if (bit == m_nLastBit)
        AddPulse(m_dBitClock, -sign * m_options.dLevel);
    AddPulse(m_dBitClock + 0.5 * cell, sign * m_options.dLevel);
    m_nLastBit = bit;
    m_dBitClock += cell;
}

void CPhysicalModulator::AppendSilence(int nSamples)
{
    if (nSamples <= 0)
        return;
    m_nLastBit = -1;
    m_dBitClock += nSamples;
    Settle(m_dBitClock - m_dReach);
}

void CPhysicalModulator::AppendBits(const std::vector<uint8_t>& bits)
{
    for (uint8_t b : bits)
        AppendBit(b != 0 ? 1 : 0);
    // The next bit's boundary pulse may still reach back this far.
    Settle(m_dBitClock - m_dReach);
}

void CPhysicalModulator::AppendFlags(int nFlags)
{
    std::vector<uint8_t> bits;
    for (int f = 0; f < nFlags; ++f)
        for (int k = 7; k >= 0; --k)
            bits.push_back(static_cast<uint8_t>((0x7E >> k) & 1));
    AppendBits(bits);
}

uint64_t CPhysicalModulator::AppendFrame(const std::vector<uint8_t>& frameWithCrc)
{
    const uint64_t start = SampleCount();
    std::vector<uint8_t> bits = {0, 1, 1, 1, 1, 1, 1, 0};
    const std::vector<uint8_t> body = StuffFrameBits(frameWithCrc);
    bits.insert(bits.end(), body.begin(), body.end());
    bits.insert(bits.end(), {0, 1, 1, 1, 1, 1, 1, 0});
    AppendBits(bits);
    return start;
}

uint64_t CPhysicalModulator::SampleCount() const
{
    return static_cast<uint64_t>(std::max(0.0, std::ceil(m_dBitClock)));
}

const std::vector<uint8_t>& CPhysicalModulator::Samples()
{
    Settle(m_dBitClock);
    return m_bySamples;
}

std::vector<uint8_t> CPhysicalModulator::TakeSamples()
{
    Settle(m_dBitClock);
    std::vector<uint8_t> out;
    out.swap(m_bySamples);
    m_nTaken += out.size();
    // The bit clock counts from the start of the buffer, as do the pending pulses.
    m_dBitClock -= static_cast<double>(out.size());
    return out;
}
