#include "view/SatellitesView.h"

#include "orbit/SatelliteRows.h"

std::vector<ViewText> ComputeSatelliteTexts(CSatelliteTable& table, double homeLat, double homeLon,
                                            const IClock& clock)
{
    std::vector<ViewText> texts;
    for (SatelliteRow& row : ComputeSatelliteRows(table, homeLat, homeLon, clock))
        texts.push_back(ViewText{0, row.nY, std::move(row.strText)});
    return texts;
}
