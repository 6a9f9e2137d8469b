#pragma once
// The world chart's data: the land mask read from globe.dat, the per-pixel
// cache of the azimuthal projection around home, and the chart's picture
// computed into an RGB buffer. Free of any window code.
//
//   globe.dat: 8,100 bytes, 180 rows (colatitude i..i+1) x 360 columns
//   (longitude j..j+1 east), cell bit n = 360 i + j, most significant first
#include <cstdint>
#include <string>
#include <vector>

#include "view/ChartRender.h"

class CWorldChart
{
public:
    static constexpr int kSize = chart::kSize;
    static constexpr int kGlobeBytes = 8101;

    CWorldChart();
    // Reads up to 8,101 bytes; false (and an all-sea mask) when the file
    // cannot be opened. A shorter file leaves the cells it misses as sea.
    bool LoadGlobe(const std::string& path);

    // The land bit of a cell; rows and columns outside the mask read as sea.
    bool IsLand(int nRow, int nCol) const;

    // Paints the 481 x 481 disc and space into m_byRaster. With bRebuild the
    // projection cache is made afresh for home first (and the exact pixel
    // distance darkens the rim); otherwise the cache is read as it stands.
    void RenderDisc(double homeLat, double homeLon, const chart::Sun& sun, bool bRebuild);

    // RGB, row by row from the top, kSize * kSize * 3 bytes.
    const uint8_t* Raster() const { return m_byRaster.data(); }
    uint8_t* Raster() { return m_byRaster.data(); }

    uint8_t m_byGlobe[kGlobeBytes] = {};
    std::vector<int16_t> m_nChartRow;  // kSize * kSize; chart::kSpaceRow outside the disc
    std::vector<int16_t> m_nChartCol;
    std::vector<int32_t> m_nChartDist;
    std::vector<uint8_t> m_byRaster;
    chart::StarSource m_stars;

private:
    static constexpr uint8_t kUnknownZenith = 255;  // zenith angles run 0..180
    std::vector<uint8_t> m_nZenithMemo;             // per cell for one paint; kUnknownZenith until used
};
