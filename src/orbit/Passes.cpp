#include "orbit/Passes.h"

#include <algorithm>
#include <cmath>

#include "messages/SatelliteTable.h"
#include "orbit/Predict.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kEarthRadius = 6378.1;        // km, as the look angles take it
constexpr double kOrbitRadius = 7198.1;        // km
constexpr double kDayTurn = kTwoPi / 86400.0;  // the ground's turn, radians per second
// Margins that keep the skips below on the safe side of rounding: the
// central angle and the elevation are computed along different paths.
constexpr double kAngleGuard = 1e-7;  // radians (a few milliseconds of motion)
constexpr double kRateGuard = 1.01;

// One whole second as the Satellites view sees it.
struct Sample
{
    double dElevation = 0.0;
    double dAzimuth = 0.0;
    double dCentralAngle = 0.0;  // radians
    bool bUp = false;            // at or above the minimum elevation
};

// The elevation decides whether a second belongs to a pass; the central
// angle (home to sub-satellite point) says how far away the satellite is
// from the edge of the pass. In the model the sub-satellite point runs along
// a great circle at 2 pi / P radians per second while home turns with the
// ground at most 2 pi / 86400 cos(latitude), so the central angle cannot
// change faster than the sum: a satellite m radians beyond the edge stays
// beyond it for m / rate seconds, and one m inside stays inside as long.
// Stepping by that bound visits every second at which the state could
// change, so the edges come out exact without a fixed coarse step that
// could jump over a short, low pass.
class CPassProbe
{
public:
    CPassProbe(const CSatelliteTable& table, int code, double homeLat, double homeLon, double minElevation)
        : m_table(table),
          m_nCode(code),
          m_dHomeLat(homeLat),
          m_dHomeLon(homeLon),
          m_dMinElevation(minElevation)
    {
        const double e = minElevation * kTwoPi / 360.0;
        // Central angle at which the elevation is e: the triangle of the
        // Earth's centre, home and the satellite.
        m_dEdgeAngle = std::acos(kEarthRadius * std::cos(e) / kOrbitRadius) - e;
        m_dRate = (kTwoPi / table.m_dPer[code] + kDayTurn * std::fabs(std::cos(homeLat * kTwoPi / 360.0))) *
                  kRateGuard;
    }

    Sample At(int64_t instant) const
    {
        const LookAngles look =
            ComputeLookAngles(ComputeSubSatellitePoint(m_table, m_nCode, instant), m_dHomeLat, m_dHomeLon);
        Sample s;
        s.dElevation = look.dElevation;
        s.dAzimuth = look.dAzimuth;
        s.dCentralAngle = look.dCentralAngle;
        s.bUp = look.dElevation >= m_dMinElevation;
        return s;
    }

    // Seconds from a sample within which no whole second can differ from it
    // in being up or not; at least 1.
    int64_t SafeStep(const Sample& s) const
    {
        const double margin =
            (s.bUp ? m_dEdgeAngle - s.dCentralAngle : s.dCentralAngle - m_dEdgeAngle) - kAngleGuard;
        const double seconds = margin / m_dRate;
        if (!(seconds >= 2.0))
            return 1;
        // Seconds strictly inside the bound keep the state.
        return static_cast<int64_t>(std::min(seconds * (1.0 - 1e-9), 1e9));
    }

private:
    const CSatelliteTable& m_table;
    int m_nCode;
    double m_dHomeLat;
    double m_dHomeLon;
    double m_dMinElevation;
    double m_dEdgeAngle = 0.0;
    double m_dRate = 0.0;
};

// The last second of the pass holding instant (which is up), walking in
// direction dir (+1 or -1) no further than limit.
int64_t FindEdge(const CPassProbe& probe, int64_t instant, Sample s, int dir, int64_t limit)
{
    bool bSingle = false;
    while (instant != limit) {
        int64_t step = bSingle ? 1 : probe.SafeStep(s);
        const int64_t room = dir > 0 ? limit - instant : instant - limit;
        step = std::min(step, room);
        const int64_t next = instant + dir * step;
        const Sample n = probe.At(next);
        if (n.bUp) {
            instant = next;
            s = n;
            bSingle = false;
        } else if (step == 1) {
            return instant;
        } else {
            bSingle = true;  // rounding beat the guard: go second by second here
        }
    }
    return instant;
}

// The first second of greatest elevation in [aos, los]. Within one pass the
// central angle has a single minimum (the ground track is close to a great
// circle across the few thousand kilometres of the footprint), so a golden-section
// search on it closes in on the top; the last few seconds are then compared
// by elevation itself, as the view would show them.
int64_t FindCulmination(const CPassProbe& probe, int64_t aos, int64_t los)
{
    // Golden section: each step keeps one of the two inner samples.
    constexpr double kInner = 0.3819660112501051;  // 1 - 1 / golden ratio
    auto psi = [&](int64_t t) { return probe.At(t).dCentralAngle; };
    int64_t low = aos;
    int64_t high = los;
    if (high - low > 6) {
        int64_t c = low + std::llround(static_cast<double>(high - low) * kInner);
        int64_t d = high - std::llround(static_cast<double>(high - low) * kInner);
        if (d <= c)
            d = c + 1;
        double fc = psi(c);
        double fd = psi(d);
        while (high - low > 6) {
            if (fc <= fd) {
                high = d;
                d = c;
                fd = fc;
                c = low + std::llround(static_cast<double>(high - low) * kInner);
                if (c >= d)
                    c = d - 1;
                fc = psi(c);
            } else {
                low = c;
                c = d;
                fc = fd;
                d = high - std::llround(static_cast<double>(high - low) * kInner);
                if (d <= c)
                    d = c + 1;
                fd = psi(d);
            }
        }
    }
    int64_t tca = low;
    double top = -1e300;
    for (int64_t t = std::max(aos, low - 2); t <= std::min(los, high + 2); ++t) {
        const double e = probe.At(t).dElevation;
        if (e > top) {
            top = e;
            tca = t;
        }
    }
    return tca;
}

SatellitePass MakePass(const CPassProbe& probe, int code, int64_t aos, int64_t los)
{
    const Sample first = probe.At(aos);
    const Sample last = probe.At(los);
    SatellitePass pass;
    pass.nCode = code;
    pass.nAos = aos;
    pass.nLos = los;
    pass.dAosAzimuth = first.dAzimuth;
    pass.dLosAzimuth = last.dAzimuth;
    pass.nTca = FindCulmination(probe, aos, los);
    pass.dMaxElevation = probe.At(pass.nTca).dElevation;
    return pass;
}

}  // namespace

double PassElevationAt(const CSatelliteTable& table, int code, double homeLat, double homeLon,
                       int64_t instant)
{
    return ComputeLookAngles(ComputeSubSatellitePoint(table, code, instant), homeLat, homeLon).dElevation;
}

std::vector<SatellitePass> FindSatellitePasses(const CSatelliteTable& table, int code, double homeLat,
                                               double homeLon, int64_t start, int64_t seconds,
                                               double minElevation)
{
    std::vector<SatellitePass> passes;
    if (seconds <= 0)
        return passes;
    const CPassProbe probe(table, code, homeLat, homeLon, minElevation);
    const int64_t end = start + seconds;  // AOS must come before this

    int64_t t = start;
    Sample s = probe.At(t);
    if (s.bUp) {
        const int64_t aos = FindEdge(probe, t, s, -1, start - kPassSearchLimit);
        const int64_t los = FindEdge(probe, t, s, +1, end + kPassSearchLimit);
        passes.push_back(MakePass(probe, code, aos, los));
        t = los + 1;
        if (t >= end)
            return passes;
        s = probe.At(t);
    }
    while (t < end) {
        if (s.bUp) {
            const int64_t los = FindEdge(probe, t, s, +1, end + kPassSearchLimit);
            passes.push_back(MakePass(probe, code, t, los));
            t = los + 1;
        } else {
            t += probe.SafeStep(s);
        }
        if (t >= end)
            break;
        s = probe.At(t);
    }
    return passes;
}

std::vector<SatellitePass> FindPasses(const CSatelliteTable& table, double homeLat, double homeLon,
                                      int64_t start, int64_t seconds, double minElevation)
{
    std::vector<SatellitePass> passes;
    for (int code = 0; code < CSatelliteTable::kEntries; ++code) {
        if (!IsPredictable(table, code))
            continue;
        const std::vector<SatellitePass> one =
            FindSatellitePasses(table, code, homeLat, homeLon, start, seconds, minElevation);
        passes.insert(passes.end(), one.begin(), one.end());
    }
    std::stable_sort(passes.begin(), passes.end(),
                     [](const SatellitePass& a, const SatellitePass& b) { return a.nAos < b.nAos; });
    return passes;
}
