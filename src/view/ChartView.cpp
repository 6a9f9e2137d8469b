#include "view/ChartView.h"

#include "document/HalvexDoc.h"
#include "messages/SatelliteTable.h"
#include "orbit/Predict.h"
#include "platform/Clock.h"
#include "view/ChartRender.h"
#include "view/WorldChart.h"

std::vector<ChartMarker> ComputeChartMarkers(const CSatelliteTable& table, double homeLat, double homeLon,
                                             const IClock& clock)
{
    std::vector<ChartMarker> markers;
    const chart::Home home = chart::SafeHome(homeLat, homeLon);
    for (int code = 0; code < CSatelliteTable::kEntries; ++code) {
        if (!IsPredictable(table, code))
            continue;
        const SatPosition pos = ComputeSubSatellitePoint(table, code, clock.Now());
        const ChartPolar polar = ComputeChartPolar(pos, home.dLat, home.dLon);
        ChartMarker marker;
        if (!chart::ComputeMarker(polar.dDistanceDeg, polar.dBearing, marker.x, marker.y))
            continue;
        marker.nCode = code;
        marker.strName = SatelliteName(code);
        markers.push_back(std::move(marker));
    }
    return markers;
}

std::vector<ChartMarker> RenderChartForDocument(CHalvexDoc& doc, CWorldChart& chart)
{
    const bool bRebuild = doc.m_bRecomputeChart != 0;
    // One reading of the clock for the whole map.
    chart.RenderDisc(doc.m_dHomeLat, doc.m_dHomeLon, chart::ComputeSunAt(doc.Clock().Now()), bRebuild);
    if (bRebuild)
        doc.m_bRecomputeChart = 0;
    return ComputeChartMarkers(doc.m_table, doc.m_dHomeLat, doc.m_dHomeLon, doc.Clock());
}
