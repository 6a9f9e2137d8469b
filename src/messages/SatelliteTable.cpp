#include "messages/SatelliteTable.h"

#include <algorithm>

void CSatelliteTable::Clear()
{
    std::fill(std::begin(m_nEqx), std::end(m_nEqx), 0);
    std::fill(std::begin(m_dEql), std::end(m_dEql), 0.0);
    std::fill(std::begin(m_dPer), std::end(m_dPer), 0.0);
    std::fill(std::begin(m_dInc), std::end(m_dInc), 0.0);
    std::fill(std::begin(m_dLastGroundDist), std::end(m_dLastGroundDist), 0.0);
}

const char* KnownSatelliteName(int code)
{
    switch (code) {
        case 5:
            return "NOAA-15";
        case 6:
            return "NOAA-16";
        case 7:
            return "NOAA-17";
        case 8:
            return "NOAA-18";
        case 10:
            return "Metop-A";
        case 12:
            return "NOAA-19";
        default:
            return nullptr;
    }
}

std::string SatelliteName(int code)
{
    const char* name = KnownSatelliteName(code);
    return name ? std::string(name) : std::string("Unknown");
}
