#pragma once
// The passes mode: the passes over home in the next 24 hours, one text row
// each under a title, in the satellites mode's font and colours; the pass
// under way is marked. The list is kept between drawings: searched afresh
// only when the satellite table or the home location changes, otherwise
// ended passes are dropped and those that came into the 24 hours are added.
#include <cstdint>
#include <vector>

#include "messages/SatelliteTable.h"
#include "orbit/Passes.h"
#include "view/ViewItems.h"

constexpr int64_t kPassesViewSpan = 86400;  // seconds ahead
constexpr double kPassesViewMinElevation = 0.0;

class CPassSchedule
{
public:
    // The passes whose LOS is at or after now and whose AOS lies before
    // now + kPassesViewSpan, sorted by AOS.
    const std::vector<SatellitePass>& Update(const CSatelliteTable& table, double homeLat, double homeLon,
                                             int64_t now);
    const std::vector<SatellitePass>& Passes() const { return m_passes; }
    // How often the whole span was searched (for tests of the caching).
    int FullSearches() const { return m_nFullSearches; }

private:
    bool SameInputs(const CSatelliteTable& table, double homeLat, double homeLon) const;

    bool m_bValid = false;
    CSatelliteTable m_table;  // elements the list was found for
    double m_dHomeLat = 0.0;
    double m_dHomeLon = 0.0;
    int64_t m_nSpanEnd = 0;  // passes beginning before this are in the list
    int64_t m_nLastNow = 0;
    std::vector<SatellitePass> m_passes;
    int m_nFullSearches = 0;
};

// The rows drawn: a title at y = 0, then one row per pass 15 pixels apart,
// "> " before the pass that is up at now, two blanks before the others.
std::vector<ViewText> ComputePassTexts(const std::vector<SatellitePass>& passes, int64_t now);
