#include "orbit/SatelliteRows.h"

#include <cstdio>

#include "messages/SatelliteTable.h"
#include "platform/Clock.h"

std::string FormatSatelliteLine(int code, const SatPosition& pos, const LookAngles& look, double dopplerKHz)
{
    // The degree sign is the code page 1252 byte 0xB0 (kept apart from the
    // letters that follow so that it stays one escape).
    static const char kFormat[] =
        "%s lat %6.2lf\xB0"
        " lon %7.2lf\xB0"
        " az %03.0lf\xB0"
        " alt %3.0lf\xB0"
        " range %5.0lfkm %+5.1lfkHz@466MHz";
    const std::string name = SatelliteName(code);
    char buffer[160];
    const int needed = std::snprintf(buffer, sizeof buffer, kFormat, name.c_str(), pos.dLat, pos.dLon,
                                     look.dAzimuth, look.dElevation, look.dRange, dopplerKHz);
    if (needed < 0)
        return std::string();
    if (static_cast<size_t>(needed) < sizeof buffer)
        return std::string(buffer, static_cast<size_t>(needed));
    // Only absurd values get here; print them whole rather than cut them.
    std::string line(static_cast<size_t>(needed) + 1, '\0');
    std::snprintf(line.data(), line.size(), kFormat, name.c_str(), pos.dLat, pos.dLon, look.dAzimuth,
                  look.dElevation, look.dRange, dopplerKHz);
    line.resize(static_cast<size_t>(needed));
    return line;
}

std::vector<SatelliteRow> ComputeSatelliteRows(CSatelliteTable& table, double homeLat, double homeLon,
                                               const IClock& clock)
{
    std::vector<SatelliteRow> rows;
    int y = 0;
    for (int code = 0; code < CSatelliteTable::kEntries; ++code) {
        if (!IsPredictable(table, code))
            continue;
        const SatPosition pos = ComputeSubSatellitePoint(table, code, clock.Now());
        const LookAngles look = ComputeLookAngles(pos, homeLat, homeLon);
        const double ground = ComputeGroundDistance(look.dCentralAngle);
        const double doppler = ComputeDoppler(table.m_dLastGroundDist[code], ground);
        table.m_dLastGroundDist[code] = ground;

        SatelliteRow row;
        row.nCode = code;
        row.nY = y;
        row.strText = FormatSatelliteLine(code, pos, look, doppler);
        rows.push_back(std::move(row));
        y += kSatelliteRowHeight;
    }
    return rows;
}
