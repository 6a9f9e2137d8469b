#pragma once
// The satellite table: per satellite code (0..63; frames write 0..15) the last
// broadcast equator crossing, period and inclination. An entry has elements
// when m_dEql[code] is not exactly 0.0.
#include <cstdint>
#include <string>

class CSatelliteTable
{
public:
    static constexpr int kEntries = 64;

    int32_t m_nEqx[kEntries] = {};            // crossing time, seconds since 1970 UTC (read unsigned)
    double m_dEql[kEntries] = {};             // crossing longitude, degrees east, as broadcast
    double m_dPer[kEntries] = {};             // period, seconds
    double m_dInc[kEntries] = {};             // inclination, degrees
    double m_dLastGroundDist[kEntries] = {};  // km at the previous satellites drawing; never stored

    bool HasElements(int code) const { return m_dEql[code] != 0.0; }
    // The stored 32-bit crossing time as an instant; read as unsigned so that
    // crossings up to 2106 stay valid.
    int64_t EqxTime(int code) const { return static_cast<int64_t>(static_cast<uint32_t>(m_nEqx[code])); }
    void Clear();
};

// "NOAA-15" (5), "NOAA-16" (6), "NOAA-17" (7), "NOAA-18" (8), "Metop-A" (10),
// "NOAA-19" (12); "Unknown" for every other code.
std::string SatelliteName(int code);
// The name for the six named codes, nullptr otherwise (expansion lines write
// nothing in place of a missing name).
const char* KnownSatelliteName(int code);
