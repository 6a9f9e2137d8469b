#include "orbit/Predict.h"

#include <cmath>

#include "messages/SatelliteTable.h"

namespace {

constexpr double kRad = 0.01745329252;      // degrees to radians
constexpr double kDeg = 57.29577951289617;  // radians to degrees
constexpr double kChartDeg = 57.295779512896175;
constexpr double kPi = 3.1415926536;
constexpr double kHalfPi = 1.5707963268;
constexpr double kTwoPi = 6.2831853072;               // one orbit, and the chart's full turn
constexpr double kAzimuthTurn = 6.283185308;          // the azimuth's full turn
constexpr double kGroundTurn = 0.004166666666666667;  // degrees per second (1/240)
constexpr double kRangeSum = 92492803.22;             // R^2 + r^2, R 6378.1 km, r 7198.1 km
constexpr double kRangeProduct = 91820403.22;         // 2 R r
constexpr double kElevationA = 10460084;              // 2 R times 820
constexpr double kElevationB = 672400;                // 820^2
constexpr double kTwoEarthRadii = 12756.2;
constexpr double kMinAzimuthDenominator = 9.999999e-21;
constexpr double kSineLimit = 0.999999;

// asin and acos of a value that rounding pushed a hair past +-1 would give
// NaN (straight overhead, or the azimuth at the poles); the true value is the
// limit.
double ClampUnit(double x)
{
    if (x > 1.0)
        return 1.0;
    if (x < -1.0)
        return -1.0;
    return x;
}

// For the inputs on which the plain loop never ends: some value in the range
// the loop would have ended in, (limit - step, limit].
double FoldDirectly(double x, double step, double limit)
{
    if (!std::isfinite(x))
        return limit;
    double r = std::fmod(x, step);  // [0, step) for the positive x we get here
    while (r > limit)
        r -= step;
    while (r <= limit - step)
        r += step;
    return r;
}

}  // namespace

// The plain loop subtracts with rounding at every pass, so over thousands of
// passes its result drifts from t - k*P in the last bits; a single fmod would
// not reproduce it. Instead the passes are taken in bulk where their effect is
// known exactly:
//
// While x stays in one binade [low, 2 low) (spacing u), every pass rounds
// x - step onto the grid of u. x is a multiple of u, so the pass subtracts the
// multiple of u nearest to step - a constant d - except when step lies exactly
// halfway between two multiples: then round-half-to-even picks the one that
// leaves an even significand, and from the second pass on that is the same
// even multiple every time. So after one pass within the binade the decrement
// is constant; measure it from the next pass and subtract n of them at once,
// stopping at least one d above low so that no pass of the bulk could have
// rounded onto the finer grid below low. n*d and x - n*d are multiples of u
// below 2 low, so both are computed exactly. Each binade then costs a handful
// of passes: at most about 64 binades for any 64-bit elapsed time.
double SubtractWhileAbove(double x, double step, double limit)
{
    if (!(x > limit))
        return x;
    if (!(step > 0.0) || !std::isfinite(step))
        return x;  // outside the contract; no loop could end
    if (!std::isfinite(x))
        return FoldDirectly(x, step, limit);
    while (x > limit) {
        int exponent = 0;
        std::frexp(x, &exponent);
        const double low = std::ldexp(1.0, exponent - 1);  // x in [low, 2 low)
        const double v1 = x - step;
        if (v1 == x)
            return FoldDirectly(x, step, limit);  // step below half the spacing at x
        // With limit >= low the loop ends within a pass or two (limit <= step);
        // with step >= low / 4 the binade holds only a few passes.
        if (!(limit < low) || !(step < low / 4.0) || v1 < low) {
            x = v1;
            continue;
        }
        // v1 >= low > limit: the loop takes the next pass too.
        const double v2 = v1 - step;
        if (v2 == v1)
            return FoldDirectly(v1, step, limit);
        if (v2 < low) {
            x = v2;
            continue;
        }
        const double d = v1 - v2;  // exact: both lie in the binade
        // The quotient is below 2^52, so its floor is at most one too large;
        // two fewer passes keep every bulk result at or above low + d.
        const double n = std::floor((v2 - low) / d) - 2.0;
        x = n >= 1.0 ? v2 - n * d : v2;
    }
    return x;
}

double FoldOrbitTime(double t, double period)
{
    return SubtractWhileAbove(t, period, period);
}

double FoldLongitude(double lon)
{
    if (lon < 0.0) {
        // lon + 360 rounds exactly as -((-lon) - 360) does.
        lon = -SubtractWhileAbove(-lon, 360.0, 0.0);
        if (lon == 0.0)
            lon = 0.0;  // the last addition gave +0, not the -0 of the negation
    }
    if (lon > 360.0)
        lon = SubtractWhileAbove(lon, 360.0, 360.0);
    return lon;
}

bool IsPredictable(const CSatelliteTable& table, int code)
{
    if (code < 0 || code >= CSatelliteTable::kEntries || !table.HasElements(code))
        return false;
    const double period = table.m_dPer[code];
    return std::isfinite(period) && period >= kMinPredictablePeriod && std::isfinite(table.m_dEql[code]) &&
           std::isfinite(table.m_dInc[code]);
}

SatPosition ComputeSubSatellitePoint(const CSatelliteTable& table, int code, int64_t now)
{
    int64_t elapsed = 0;
    double t = 0.0;
    if (__builtin_sub_overflow(now, table.EqxTime(code), &elapsed))
        t = static_cast<double>(now) - static_cast<double>(table.EqxTime(code));
    else
        t = static_cast<double>(elapsed);
    const double period = table.m_dPer[code];

    // The position in the orbit uses the folded time; the ground's turn under
    // the orbit uses the whole elapsed time.
    const double t1 = FoldOrbitTime(t, period);
    const double u = t1 * kTwoPi / period;
    const double i = table.m_dInc[code] * kRad;

    SatPosition pos;
    pos.dLat = std::asin(std::sin(i) * std::sin(u)) * kDeg;
    const double w = std::atan2(std::cos(i) * std::sin(u), std::cos(u));
    pos.dLon = FoldLongitude(table.m_dEql[code] - t * kGroundTurn + w * kDeg);
    return pos;
}

LookAngles ComputeLookAngles(const SatPosition& pos, double homeLat, double homeLon)
{
    const double h = homeLat * kRad;
    const double g = homeLon * kRad;
    const double s = pos.dLat * kRad;
    const double l = pos.dLon * kRad;
    const double d = l - g;

    const double cosPsi = std::sin(s) * std::sin(h) + std::cos(s) * std::cos(h) * std::cos(d);
    const double e0 = std::asin(ClampUnit(cosPsi));

    LookAngles look;
    look.dCentralAngle = kHalfPi - e0;

    double q = std::cos(e0) * std::cos(h);
    if (q < kMinAzimuthDenominator)
        q = kMinAzimuthDenominator;
    double a = std::acos(ClampUnit((std::sin(s) - cosPsi * std::sin(h)) / q));
    if (std::sin(d) > 0.0)
        a = kAzimuthTurn - a;
    look.dAzimuth = 360.0 - a * kDeg;

    look.dRange = std::sqrt(kRangeSum - kRangeProduct * cosPsi);
    look.dElevation = std::acos(ClampUnit((look.dRange * look.dRange - kElevationA - kElevationB) /
                                          (look.dRange * kTwoEarthRadii))) *
                          kDeg -
                      90.0;
    return look;
}

double ComputeGroundDistance(double centralAngle)
{
    return centralAngle * kDeg * 60.0 * 1.854;
}

double ComputeDoppler(double previousGroundDistance, double groundDistance)
{
    if (previousGroundDistance == 0.0)
        return 0.0;
    return (previousGroundDistance - groundDistance) * 1.6666666666666667e-06 * 466000000 * 0.001;
}

ChartPolar ComputeChartPolar(const SatPosition& pos, double homeLat, double homeLon)
{
    const double a = (90.0 - homeLat) * kRad;
    const double b = (90.0 - pos.dLat) * kRad;
    const double l = (homeLon - pos.dLon) * kRad;

    const double psi =
        std::acos(ClampUnit(std::cos(a) * std::cos(b) + std::sin(a) * std::sin(b) * std::cos(l)));
    ChartPolar polar;
    polar.dDistanceDeg = psi * kChartDeg;

    // At home itself (psi 0) the sine is 0/0; any bearing will do there, and
    // north keeps the chart's arithmetic finite.
    double m = std::sin(b) * std::sin(l) / std::sin(psi);
    if (std::isnan(m))
        m = 0.0;
    else if (m > kSineLimit)
        m = kSineLimit;
    else if (m < -kSineLimit)
        m = -kSineLimit;
    const double b0 = std::asin(m);

    // At the north pole (b 0) the quadrant test has nothing to go on; B0
    // alone stands.
    double b1 = 0.0;
    if (b != 0.0)
        b1 = std::atan(std::sin(l) / (std::sin(a) / std::tan(b) - std::cos(a) * std::cos(l)));

    double bearing = b1 * b0 < 0.0 ? kPi - b0 : b0;
    if (bearing == 0.0 && b > a)
        bearing = kPi;  // due south: the sine test cannot tell it from north
    if (bearing < 0.0)
        bearing += kTwoPi;
    polar.dBearing = bearing;
    return polar;
}
