#include "orbit/PassFormat.h"

#include <cstdio>

#include "messages/SatelliteTable.h"
#include "messages/UtcTime.h"
#include "orbit/Passes.h"

std::string FormatPassLine(const SatellitePass& pass)
{
    const std::string name = SatelliteName(pass.nCode);
    const std::string aos = FormatUtc(pass.nAos, "%Y-%m-%d %H:%M:%S");
    const std::string tca = FormatUtc(pass.nTca, "%H:%M:%S");
    const std::string los = FormatUtc(pass.nLos, "%H:%M:%S");
    const int64_t duration = pass.nLos - pass.nAos;
    char buffer[200];
    const int n = std::snprintf(buffer, sizeof buffer,
                                "%-7s  AOS %s az %03.0f\xB0"
                                "  TCA %s max %4.1f\xB0"
                                "  LOS %s az %03.0f\xB0"
                                "  %2lldm%02llds",
                                name.c_str(), aos.c_str(), pass.dAosAzimuth, tca.c_str(), pass.dMaxElevation,
                                los.c_str(), pass.dLosAzimuth, static_cast<long long>(duration / 60),
                                static_cast<long long>(duration % 60));
    if (n < 0)
        return std::string();
    return std::string(buffer,
                       static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}

std::string FormatPassInstant(int64_t instant)
{
    return FormatUtc(instant, "%Y-%m-%dT%H:%M:%SZ");
}
