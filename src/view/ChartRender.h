#pragma once
// The world chart's arithmetic: the Sun of the moment, the inverse azimuthal
// equidistant projection around home, the shading of a cell and the place of
// a satellite marker. Window-free; CWorldChart runs the per-pixel loop.
//
//   raster 481 x 481, centre (240, 240), 0.18 degrees of arc per pixel:
//   the disc (rho < 240) reaches 43.2 degrees from home, the rest is space.
#include <cmath>
#include <cstdint>

namespace chart {

constexpr int kSize = 481;
constexpr int kCentre = 240;
constexpr int kRows = 180;          // globe.dat rows, colatitude 0..180
constexpr int kCols = 360;          // globe.dat columns, degrees east
constexpr int16_t kSpaceRow = 181;  // cache row of a pixel outside the disc
constexpr double kRadPerPixel = 0.0031415926536;
constexpr double kPixelsPerDegree = 5.555555555555555;
constexpr double kRad = 0.01745329252;
constexpr double kDeg = 57.29577951289617;
constexpr double kInvRadiusCubed = 7.233796296296296e-08;  // 1 / 240^3
constexpr double kMarkerLimitDeg = 44.0;

// Truncation toward zero that never leaves int: NaN and values beyond the
// range give 0 (a cast would be undefined there).
inline int TruncToInt(double v)
{
    if (!(v > -2.0e9 && v < 2.0e9))
        return 0;
    return static_cast<int>(v);
}

// A home location the projection can work with: not-a-number and infinities
// count as unset (0), the latitude is held to -90..90.
struct Home
{
    double dLat = 0.0;
    double dLon = 0.0;
};
Home SafeHome(double homeLat, double homeLon);

// Declination D (degrees) and sub-solar longitude S (degrees east).
struct Sun
{
    double dDeclination = 0.0;
    double dSubSolarLon = 0.0;
};

// Whole days from local 00:00:00 on 21 March of now's local year to now,
// truncated toward zero (negative before 21 March).
int DaysSinceEquinox(int64_t now);
// D = 22.5 sin(days 2 pi / 365.25); S = 180 - 15 h - 0.25 m.
Sun ComputeSun(int nDays, int nHour, int nMinute);
// The Sun of an instant: the equinox day count in local time, and the hour
// and minute of the UTC clock, so that S is the meridian of local noon.
Sun ComputeSunAt(int64_t now);

// What one raster pixel sees: globe.dat row and column, and its exact
// distance from the centre. Outside the disc the row is kSpaceRow.
struct Cell
{
    int nRow = kSpaceRow;
    int nCol = 0;
    double dRho = 0.0;
};
// The inverse projection for pixel (x, y); home as SafeHome gives it.
Cell ComputeCell(int x, int y, const Home& home);

// Solar zenith angle of a cell in whole degrees (row and column read as
// degrees of colatitude and longitude).
int ComputeZenith(int nRow, int nCol, const Sun& sun);

// Rim darkening: 255 at the centre down to 87 at the rim.
inline int RimBrightness(double d)
{
    return static_cast<int>(170.0 * (1.5 - d * d * d * kInvRadiusCubed));
}

// Night dimming of a brightness for a whole-degree zenith angle.
inline int NightBrightness(int b, int nZenith)
{
    if (nZenith <= 85)
        return b;
    if (nZenith <= 94)
        return static_cast<int>(b * (1.0 - 0.025 * (nZenith - 85)));
    return static_cast<int>(b * 0.75);
}

// Marker position of a satellite at great-circle distance dDistanceDeg and
// bearing dBearing (radians, north towards west); false when it is too far
// from home (44 degrees or more) or not a number.
bool ComputeMarker(double dDistanceDeg, double dBearing, int& x, int& y);

// Uniform integers 0..32767 for the stars (xorshift; 15 high bits).
class StarSource
{
public:
    explicit StarSource(uint32_t seed = 0x2545F491u) : m_nState(seed ? seed : 1u) {}
    int Next()
    {
        m_nState ^= m_nState << 13;
        m_nState ^= m_nState >> 17;
        m_nState ^= m_nState << 5;
        return static_cast<int>(m_nState >> 17);
    }

private:
    uint32_t m_nState;
};
// A draw of 131 or less is a white star: 132 in 32,768.
constexpr int kStarLimit = 131;

}  // namespace chart
