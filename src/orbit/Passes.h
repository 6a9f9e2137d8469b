#pragma once
// When each satellite rises over home, how high it climbs and when it sets,
// from the same orbit model the Satellites view draws with: a pass is a run of
// whole seconds at which that view would show an elevation at or above the
// minimum, so its times agree to the second with what the view shows during it.
#include <cstdint>
#include <vector>

class CSatelliteTable;

struct SatellitePass
{
    int nCode = 0;
    int64_t nAos = 0;          // first whole second at or above the minimum elevation
    int64_t nTca = 0;          // the whole second of greatest elevation (the first, on a tie)
    int64_t nLos = 0;          // last whole second at or above the minimum elevation
    double dAosAzimuth = 0.0;  // degrees, as the Satellites view gives it (due north 360)
    double dLosAzimuth = 0.0;
    double dMaxElevation = 0.0;  // degrees, at nTca
    bool operator==(const SatellitePass&) const = default;
};

// A pass is followed at most this far beyond the searched span in either
// direction; only edited elements (a period of days) give passes that long,
// and such a pass is cut at this limit.
constexpr int64_t kPassSearchLimit = 2 * 86400;

// The elevation the Satellites view shows for the entry at the instant.
double PassElevationAt(const CSatelliteTable& table, int code, double homeLat, double homeLon,
                       int64_t instant);

// The passes of one entry whose LOS is at or after start and whose AOS lies
// before start + seconds, in time order. A pass under way at start keeps its
// real AOS. The entry must be predictable (IsPredictable).
std::vector<SatellitePass> FindSatellitePasses(const CSatelliteTable& table, int code, double homeLat,
                                               double homeLon, int64_t start, int64_t seconds,
                                               double minElevation);

// The same for every predictable entry, sorted by AOS (then by code).
std::vector<SatellitePass> FindPasses(const CSatelliteTable& table, double homeLat, double homeLon,
                                      int64_t start, int64_t seconds, double minElevation);
