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
constexpr int kMarkerDotSize = 5;  // corners (x - 2, y - 2) and (x + 3, y + 3)

// One pixel of a marker dot: outline pixels are drawn in the outline colour,
// the others in the fill colour.
struct DotPixel
{
    int x = 0;
    int y = 0;
    bool bOutline = false;
};
// The pixels of a round dot nSize pixels across whose top-left corner is
// (nLeft, nTop), the far corner (nLeft + nSize, nTop + nSize) exclusive: those
// whose centre lies within nSize / 2 of the dot's centre. A pixel with a side
// neighbour outside the dot is outline. Row by row, left to right.
std::vector<DotPixel> ComputeDotPixels(int nLeft, int nTop, int nSize);

// Satellites with predictable elements whose sub-satellite point lies within
// 44 degrees of home, in ascending code order (later ones are drawn on top).
// The clock is read afresh for each satellite.
std::vector<ChartMarker> ComputeChartMarkers(const CSatelliteTable& table, double homeLat, double homeLon,
                                             const IClock& clock);

// Renders the disc for the document's home and clock into chart's raster,
// rebuilding the cache when m_bRecomputeChart is set (and clearing it after),
// and returns the markers to draw over it.
std::vector<ChartMarker> RenderChartForDocument(CHalvexDoc& doc, CWorldChart& chart);
