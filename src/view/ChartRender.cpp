#include "view/ChartRender.h"

#include <algorithm>
#include <ctime>

namespace chart {

namespace {

constexpr double kPi = 3.1415926536;

double ClampUnit(double v)
{
    if (std::isnan(v))
        return 1.0;
    return std::clamp(v, -1.0, 1.0);
}

// globe.dat column of a longitude in degrees east: truncated toward zero,
// then taken into 0..359 (-1.5 gives 359, -0.5 gives 0, 360.5 gives 0).
int ColumnOf(double lonDeg)
{
    int col = TruncToInt(lonDeg) % kCols;
    if (col < 0)
        col += kCols;
    return col;
}

}  // namespace

Home SafeHome(double homeLat, double homeLon)
{
    Home home;
    home.dLat = std::isfinite(homeLat) ? std::clamp(homeLat, -90.0, 90.0) : 0.0;
    home.dLon = std::isfinite(homeLon) ? homeLon : 0.0;
    return home;
}

int DaysSinceEquinox(int64_t now)
{
    const std::time_t t = static_cast<std::time_t>(now);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    std::tm equinox{};
    equinox.tm_year = local.tm_year;
    equinox.tm_mon = 2;
    equinox.tm_mday = 21;
    equinox.tm_isdst = -1;  // daylight saving as the system decides
    const std::time_t start = std::mktime(&equinox);
    if (start == static_cast<std::time_t>(-1))
        return 0;
    return static_cast<int>((now - static_cast<int64_t>(start)) / 86400);
}

Sun ComputeSun(int nDays, int nHour, int nMinute)
{
    Sun sun;
    sun.dDeclination = 22.5 * std::sin(nDays * 0.017202423839014373);
    sun.dSubSolarLon = 180.0 - 15.0 * nHour - 0.25 * nMinute;
    return sun;
}

Sun ComputeSunAt(int64_t now)
{
    const std::time_t t = static_cast<std::time_t>(now);
    std::tm utc{};
    if (!gmtime_r(&t, &utc))
        return ComputeSun(DaysSinceEquinox(now), 0, 0);
    return ComputeSun(DaysSinceEquinox(now), utc.tm_hour, utc.tm_min);
}

Cell ComputeCell(int x, int y, const Home& home)
{
    Cell cell;
    const double dx = x - kCentre;
    const double dy = kCentre - y;
    cell.dRho = std::sqrt(dx * dx + dy * dy);
    if (cell.dRho >= kCentre)
        return cell;  // space

    const double delta = cell.dRho * kRadPerPixel;
    const double beta = std::atan2(dx, dy);
    const double a = (90.0 - home.dLat) * kRad;
    const double sinDelta = std::sin(delta);
    const double cosDelta = std::cos(delta);
    const double sinBeta = std::sin(beta);

    if (cell.dRho == 0.0) {
        // Home's own cell. Through the formulas the two rounded angle factors
        // (whose product is a hair below 1) and acos would put a home on a
        // whole degree into the neighbouring row or column.
        cell.nRow = std::clamp(TruncToInt(90.0 - home.dLat), 0, kRows);
        cell.nCol = ColumnOf(home.dLon);
        return cell;
    }

    double p = 0.0;
    double offset = 0.0;  // longitude offset from home, radians
    if (home.dLat >= 90.0 || home.dLat <= -90.0) {
        // At a pole every direction is south (or north) and the general
        // longitude formula divides by sin a = 0. Up on the chart is the
        // meridian 180 degrees from home's from the North Pole, home's own
        // from the South Pole; east stays to the right.
        if (home.dLat > 0.0) {
            p = delta;
            offset = kPi - beta;
        } else {
            p = kPi - delta;
            offset = beta;
        }
        if (offset > kPi)
            offset -= 2.0 * kPi;
    } else {
        const double sinA = std::sin(a);
        const double cosA = std::cos(a);
        const double k = ClampUnit(std::cos(beta) * sinDelta * sinA + cosDelta * cosA);
        p = std::acos(k);
        // Only the sign of sin beta sin delta / sin p counts, and sin p is
        // never negative; reading the numerator keeps a point at a pole
        // (sin p = 0) from making a not-a-number.
        const bool bWest = sinBeta * sinDelta < 0.0;
        const double q = ClampUnit((cosDelta - std::cos(p) * cosA) / (std::sin(p) * sinA));
        offset = std::acos(q);
        if (bWest)
            offset = -offset;
    }

    cell.nRow = std::clamp(TruncToInt(p * kDeg), 0, kRows);
    cell.nCol = ColumnOf(home.dLon + offset * kDeg);
    return cell;
}

int ComputeZenith(int nRow, int nCol, const Sun& sun)
{
    const double sunColat = (90.0 - sun.dDeclination) * kRad;
    const double cosZ =
        std::cos((sun.dSubSolarLon - nCol) * kRad) * std::sin(nRow * kRad) * std::sin(sunColat) +
        std::cos(nRow * kRad) * std::cos(sunColat);
    return TruncToInt(std::acos(ClampUnit(cosZ)) * kDeg);
}

bool ComputeMarker(double dDistanceDeg, double dBearing, int& x, int& y)
{
    if (!(dDistanceDeg < kMarkerLimitDeg) || !std::isfinite(dBearing))
        return false;
    x = TruncToInt(kCentre - std::sin(dBearing) * dDistanceDeg * kPixelsPerDegree);
    y = TruncToInt(kCentre - std::cos(dBearing) * dDistanceDeg * kPixelsPerDegree);
    return true;
}

}  // namespace chart
