#include "view/WorldChart.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace chart;

CWorldChart::CWorldChart()
    : m_nChartRow(kSize * kSize, kSpaceRow),
      m_nChartCol(kSize * kSize, 0),
      m_nChartDist(kSize * kSize, 0),
      m_byRaster(kSize * kSize * 3, 0),
      m_nZenithMemo(kRows * kCols, kUnknownZenith)
{
}

bool CWorldChart::LoadGlobe(const std::string& path)
{
    std::memset(m_byGlobe, 0, sizeof m_byGlobe);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    const size_t got = std::fread(m_byGlobe, 1, sizeof m_byGlobe, f);
    const bool bFailed = std::ferror(f) != 0;
    std::fclose(f);
    if (bFailed) {
        // A read error counts as a file that could not be opened: all sea.
        std::memset(m_byGlobe, 0, sizeof m_byGlobe);
        return false;
    }
    (void)got;
    return true;
}

bool CWorldChart::IsLand(int nRow, int nCol) const
{
    if (nRow < 0 || nRow >= kRows || nCol < 0 || nCol >= kCols)
        return false;
    const int n = kCols * nRow + nCol;
    return (m_byGlobe[n >> 3] & (0x80 >> (n & 7))) != 0;
}

// The hot path of the chart. Per disc pixel: the cell (from the cache, or the
// projection on a rebuild), the solar zenith angle of the cell (memoised for
// the paint, as many pixels share a cell), the rim darkening and one bit test.
// Per space pixel: one star draw, afresh on every paint.
void CWorldChart::RenderDisc(double homeLat, double homeLon, const Sun& sun, bool bRebuild)
{
    const Home home = SafeHome(homeLat, homeLon);
    std::fill(m_nZenithMemo.begin(), m_nZenithMemo.end(), kUnknownZenith);

    int rimByDistance[kCentre];
    for (int d = 0; d < kCentre; ++d)
        rimByDistance[d] = RimBrightness(d);

    uint8_t* out = m_byRaster.data();
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x, out += 3) {
            const size_t idx = static_cast<size_t>(y) * kSize + static_cast<size_t>(x);
            int row;
            int col;
            int brightness;
            if (bRebuild) {
                const Cell cell = ComputeCell(x, y, home);
                m_nChartRow[idx] = static_cast<int16_t>(cell.nRow);
                row = cell.nRow;
                col = cell.nCol;
                brightness = 0;
                if (row != kSpaceRow) {
                    m_nChartCol[idx] = static_cast<int16_t>(cell.nCol);
                    m_nChartDist[idx] = static_cast<int32_t>(cell.dRho);
                    brightness = RimBrightness(cell.dRho);
                }
            } else {
                row = m_nChartRow[idx];
                col = m_nChartCol[idx];
                brightness = 0;
                if (row < kRows) {
                    const int32_t d = std::clamp<int32_t>(m_nChartDist[idx], 0, kCentre - 1);
                    brightness = rimByDistance[d];
                }
            }

            if (row < 0 || row >= kRows) {
                const uint8_t v = m_stars.Next() <= kStarLimit ? 255 : 0;
                out[0] = out[1] = out[2] = v;
                continue;
            }
            col = std::clamp(col, 0, kCols - 1);

            uint8_t& memo = m_nZenithMemo[static_cast<size_t>(row * kCols + col)];
            if (memo == kUnknownZenith)
                memo = static_cast<uint8_t>(std::clamp(ComputeZenith(row, col, sun), 0, 180));
            brightness = NightBrightness(brightness, memo);

            const uint8_t b = static_cast<uint8_t>(std::clamp(brightness, 0, 255));
            out[0] = 0;
            if (IsLand(row, col)) {
                out[1] = b;
                out[2] = 0;
            } else {
                out[1] = 0;
                out[2] = b;
            }
        }
    }
}
