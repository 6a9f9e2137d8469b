#pragma once
// Passes found the slow way: every whole second from well before the span to
// well after it, asking the Satellites view's own functions for the
// elevation. What the pass search must agree with, second for second.
#include <cstdint>
#include <vector>

#include "messages/SatelliteTable.h"
#include "orbit/Passes.h"
#include "orbit/Predict.h"

namespace testsupport {

// The passes of one entry whose last second up is at or after start and whose
// first lies before start + seconds. margin must exceed the longest pass.
inline std::vector<SatellitePass> ScanPasses(const CSatelliteTable& table, int code, double homeLat,
                                             double homeLon, int64_t start, int64_t seconds,
                                             double minElevation, int64_t margin = 3600)
{
    std::vector<SatellitePass> passes;
    SatellitePass current;
    bool bUp = false;
    double lastAzimuth = 0.0;
    for (int64_t t = start - margin; t <= start + seconds + margin; ++t) {
        const LookAngles look = ComputeLookAngles(ComputeSubSatellitePoint(table, code, t), homeLat, homeLon);
        const bool bNowUp = look.dElevation >= minElevation;
        if (bNowUp && !bUp) {
            current = SatellitePass{};
            current.nCode = code;
            current.nAos = t;
            current.dAosAzimuth = look.dAzimuth;
            current.nTca = t;
            current.dMaxElevation = look.dElevation;
        } else if (bNowUp && look.dElevation > current.dMaxElevation) {
            current.nTca = t;
            current.dMaxElevation = look.dElevation;
        } else if (!bNowUp && bUp) {
            current.nLos = t - 1;
            current.dLosAzimuth = lastAzimuth;
            if (current.nLos >= start && current.nAos < start + seconds && current.nAos > start - margin)
                passes.push_back(current);
        }
        bUp = bNowUp;
        lastAzimuth = look.dAzimuth;
    }
    return passes;
}

}  // namespace testsupport
