#pragma once
// The world chart's data: the land mask read from globe.dat and the per-pixel
// cache of the azimuthal projection around home. Free of any window code; the
// chart's picture is computed here into an RGB buffer.
#include <cstdint>
#include <string>
#include <vector>

class CWorldChart
{
public:
    static constexpr int kSize = 481;
    static constexpr int kGlobeBytes = 8101;

    CWorldChart();
    // Reads up to 8,101 bytes; false (and an all-sea mask) when the file
    // cannot be opened.
    bool LoadGlobe(const std::string& path);

    uint8_t m_byGlobe[kGlobeBytes] = {};
    std::vector<int16_t> m_nChartRow;   // kSize * kSize
    std::vector<int16_t> m_nChartCol;
    std::vector<int32_t> m_nChartDist;
};
