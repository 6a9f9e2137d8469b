#pragma once
// Where a satellite is now, from its last broadcast equator crossing: a
// circular orbit over a spherical Earth that turns 360 degrees per 86,400 s
// under it. Everything here is a pure function of its arguments; callers pass
// only entries that IsPredictable() accepts.
#include <cstdint>

class CSatelliteTable;

struct SatPosition
{
    double dLat = 0.0;  // degrees north, -90..90
    double dLon = 0.0;  // degrees east, 0..360 inclusive
};

struct LookAngles
{
    double dAzimuth = 0.0;       // degrees from north through east; due north reads 360
    double dElevation = 0.0;     // degrees, negative below the horizon
    double dRange = 0.0;         // slant range, km
    double dCentralAngle = 0.0;  // great-circle angle home to sub-satellite point, radians
};

struct ChartPolar
{
    double dDistanceDeg = 0.0;  // great-circle angle home to sub-satellite point, degrees
    double dBearing = 0.0;      // radians from north towards west, 0 up to 2 pi
};

// The shortest period an entry may have to be predicted. Decoded bulletins
// give 5,700 s and more; anything shorter (zero, negative, not a number) can
// only come from an edited settings file and would make the period fold
// meaningless.
constexpr double kMinPredictablePeriod = 60.0;

// True when the entry has elements (m_dEql not 0.0) whose values the
// prediction can work with: finite longitude and inclination and a finite
// period of at least kMinPredictablePeriod seconds.
bool IsPredictable(const CSatelliteTable& table, int code);

SatPosition ComputeSubSatellitePoint(const CSatelliteTable& table, int code, int64_t now);
LookAngles ComputeLookAngles(const SatPosition& pos, double homeLat, double homeLon);
// km along the ground for a central angle in radians (111.24 km per degree).
double ComputeGroundDistance(double centralAngle);
// kHz at 466 MHz, positive when the distance shrank; 0 when there is no
// previous distance (exactly 0).
double ComputeDoppler(double previousGroundDistance, double groundDistance);
ChartPolar ComputeChartPolar(const SatPosition& pos, double homeLat, double homeLon);

// --- The folds, exposed for their tests ------------------------------------
//
// Both give exactly what the plain loops give (repeated subtraction with its
// rounding at every pass) but take a bounded number of passes whatever the
// input. Where the plain loop would never end (a step below half the spacing
// of doubles at x, or x infinite) they return a value inside the fold's range
// instead.

// while (x > limit) x -= step;   for step > 0 and 0 <= limit <= step.
double SubtractWhileAbove(double x, double step, double limit);
// The time in orbit: t unchanged unless t > period, else folded into (0, period].
double FoldOrbitTime(double t, double period);
// while (lon < 0) lon += 360; while (lon > 360) lon -= 360;
double FoldLongitude(double lon);
