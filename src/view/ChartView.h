#pragma once
// The chart mode as a whole for the document's state: the disc from the cache
// (rebuilt, then the document's flag cleared, when the home location changed)
// and the satellites within reach as markers. Window-free; the painter draws
// the raster in one call and the markers over it.
#include <cstdint>
#include <string>
#include <vector>

class CHalvexDoc;
class CSatelliteTable;
class CWorldChart;
class IClock;

struct ChartMarker
{
    int nCode = 0;
    int x = 0;  // centre of the 5-pixel dot
    int y = 0;
    std::string strName;  // code page 1252
};

// Home: the 7-pixel dot around (240, 240) with its red centre pixel.
constexpr int kHomeMarkerLeft = 237;
constexpr int kHomeMarkerRight = 244;  // exclusive corner, as for the ellipse
constexpr int kChartCentre = 240;

// Satellites with predictable elements whose sub-satellite point lies within
// 44 degrees of home, in ascending code order (later ones are drawn on top).
// The clock is read afresh for each satellite.
std::vector<ChartMarker> ComputeChartMarkers(const CSatelliteTable& table, double homeLat, double homeLon,
                                             const IClock& clock);

// Renders the disc for the document's home and clock into chart's raster,
// rebuilding the cache when m_bRecomputeChart is set (and clearing it after),
// and returns the markers to draw over it.
std::vector<ChartMarker> RenderChartForDocument(CHalvexDoc& doc, CWorldChart& chart);
