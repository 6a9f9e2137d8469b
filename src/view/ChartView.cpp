#include "view/ChartView.h"

#include "document/HalvexDoc.h"
#include "messages/SatelliteTable.h"
#include "orbit/Predict.h"
#include "platform/Clock.h"
#include "view/ChartRender.h"
#include "view/WorldChart.h"

namespace {

// Twice the offsets keep the test in whole numbers: pixel (i, j) of a dot of
// size n is inside when (2i + 1 - n)^2 + (2j + 1 - n)^2 <= n^2.
bool InsideDot(int i, int j, int nSize)
{
    if (i < 0 || j < 0 || i >= nSize || j >= nSize)
        return false;
    const int dx = 2 * i + 1 - nSize;
    const int dy = 2 * j + 1 - nSize;
    return dx * dx + dy * dy <= nSize * nSize;
}

}  // namespace

std::vector<DotPixel> ComputeDotPixels(int nLeft, int nTop, int nSize)
{
    std::vector<DotPixel> pixels;
    for (int j = 0; j < nSize; ++j) {
        for (int i = 0; i < nSize; ++i) {
            if (!InsideDot(i, j, nSize))
                continue;
            const bool bOutline = !InsideDot(i - 1, j, nSize) || !InsideDot(i + 1, j, nSize) ||
                                  !InsideDot(i, j - 1, nSize) || !InsideDot(i, j + 1, nSize);
            pixels.push_back({nLeft + i, nTop + j, bOutline});
        }
    }
    return pixels;
}

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
