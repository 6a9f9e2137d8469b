#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "view/WorldChart.h"

using namespace chart;

namespace {

const std::string kGlobePath = std::string(HALVEX_SOURCE_DIR) + "/data/globe.dat";

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

Rgb PixelAt(const CWorldChart& chart, int x, int y)
{
    const uint8_t* p = chart.Raster() + 3 * (static_cast<size_t>(y) * kSize + static_cast<size_t>(x));
    return Rgb{p[0], p[1], p[2]};
}

std::unique_ptr<CWorldChart> LoadedChart()
{
    auto chart = std::make_unique<CWorldChart>();
    EXPECT_TRUE(chart->LoadGlobe(kGlobePath));
    return chart;
}

// Cell of a place as the chart's centre sees it.
bool LandAt(const CWorldChart& chart, double lat, double lon)
{
    int col = static_cast<int>(lon);
    if (col < 0)
        col += 360;
    return chart.IsLand(static_cast<int>(90.0 - lat), col);
}

TEST(GlobeData, FileHasTheMaskSize)
{
    std::ifstream in(kGlobePath, std::ios::binary | std::ios::ate);
    ASSERT_TRUE(in.good());
    EXPECT_EQ(static_cast<long>(in.tellg()), 8100);
}

TEST(GlobeData, KnownLandAndSea)
{
    auto chart = LoadedChart();
    EXPECT_TRUE(LandAt(*chart, 23, 10));    // central Sahara
    EXPECT_TRUE(LandAt(*chart, 72, -40));   // Greenland
    EXPECT_TRUE(LandAt(*chart, 52, 0));     // England
    EXPECT_TRUE(LandAt(*chart, -25, 135));  // Australia
    EXPECT_TRUE(LandAt(*chart, -85, 0));    // Antarctica, near the pole too
    EXPECT_TRUE(LandAt(*chart, -89.5, 100));
    EXPECT_TRUE(LandAt(*chart, 66, -175));  // Chukotka, west of the antimeridian
    EXPECT_FALSE(LandAt(*chart, 0, -160));  // mid-Pacific
    EXPECT_FALSE(LandAt(*chart, 30, -40));  // mid-Atlantic
    EXPECT_FALSE(LandAt(*chart, 35, 18));   // Mediterranean
    EXPECT_FALSE(LandAt(*chart, 89.5, 0));  // Arctic Ocean at the pole
    EXPECT_FALSE(LandAt(*chart, -50, 90));  // Southern Ocean
    // Roughly the share of one-degree cells that is land (Antarctica's many
    // small cells included): a third, not a flood or an empty mask.
    int land = 0;
    for (int row = 0; row < 180; ++row)
        for (int col = 0; col < 360; ++col)
            land += chart->IsLand(row, col);
    EXPECT_GT(land, 18000);
    EXPECT_LT(land, 25000);
}

TEST(GlobeData, LoadingRules)
{
    CWorldChart chart;
    EXPECT_FALSE(chart.LoadGlobe("/nonexistent/dir/globe.dat"));
    for (uint8_t b : chart.m_byGlobe)
        ASSERT_EQ(b, 0);

    // A short file: the cells it does not reach are sea; a long one is read
    // to 8,101 bytes only.
    const std::string shortPath = ::testing::TempDir() + "/globe-short.dat";
    {
        std::ofstream out(shortPath, std::ios::binary);
        out << std::string(45, '\xFF');  // row 0 all land
    }
    ASSERT_TRUE(chart.LoadGlobe(shortPath));
    EXPECT_TRUE(chart.IsLand(0, 0));
    EXPECT_TRUE(chart.IsLand(0, 359));
    EXPECT_FALSE(chart.IsLand(1, 0));
    std::remove(shortPath.c_str());

    const std::string longPath = ::testing::TempDir() + "/globe-long.dat";
    {
        std::ofstream out(longPath, std::ios::binary);
        out << std::string(9000, '\x01');
    }
    ASSERT_TRUE(chart.LoadGlobe(longPath));
    EXPECT_EQ(chart.m_byGlobe[8100], 1);
    std::remove(longPath.c_str());

    // Bits are most significant first: cell n = 360 row + col.
    std::memset(chart.m_byGlobe, 0, sizeof chart.m_byGlobe);
    chart.m_byGlobe[(360 * 38 + 3) / 8] = static_cast<uint8_t>(0x80 >> ((360 * 38 + 3) % 8));
    EXPECT_TRUE(chart.IsLand(38, 3));
    EXPECT_FALSE(chart.IsLand(38, 2));
    EXPECT_FALSE(chart.IsLand(38, 4));
    // Outside the mask reads as sea, never past the array.
    std::memset(chart.m_byGlobe, 0xFF, sizeof chart.m_byGlobe);
    EXPECT_FALSE(chart.IsLand(180, 0));
    EXPECT_FALSE(chart.IsLand(179, 360));
    EXPECT_FALSE(chart.IsLand(-1, 0));
    EXPECT_FALSE(chart.IsLand(0, -1));
}

// The Sun straight over a cell: days 0 (declination 0), the hour and minute
// putting the sub-solar point on the meridian.
Sun SunOverMeridian(int lonEast)
{
    // S = 180 - 15 h - 0.25 m: lonEast = 0 -> 12:00, 10 -> 11:20.
    const int minutes = (180 - lonEast) * 4;
    return ComputeSun(0, minutes / 60, minutes % 60);
}

TEST(ChartDisc, CentreColoursByDayAndNight)
{
    auto chart = LoadedChart();
    // Sahara, 23 N 10 E: land, Sun over its meridian at the equator (Z 23).
    chart->RenderDisc(23.5, 10.5, SunOverMeridian(10), true);
    EXPECT_EQ(PixelAt(*chart, 240, 240), (Rgb{0, 255, 0}));
    // The opposite meridian: full night.
    chart->RenderDisc(23.5, 10.5, SunOverMeridian(-170), false);
    EXPECT_EQ(PixelAt(*chart, 240, 240), (Rgb{0, 191, 0}));
    // Mid-Atlantic, 30 N 40 W: sea.
    chart->RenderDisc(30.5, -40.5, SunOverMeridian(-40), true);
    EXPECT_EQ(PixelAt(*chart, 240, 240), (Rgb{0, 0, 255}));
    chart->RenderDisc(30.5, -40.5, SunOverMeridian(140), false);
    EXPECT_EQ(PixelAt(*chart, 240, 240), (Rgb{0, 0, 191}));
}

TEST(ChartDisc, RimDarkeningOnRebuildUsesExactDistanceAndCacheWholePixels)
{
    CWorldChart chart;  // all sea
    const Sun sun = SunOverMeridian(0);
    // Home on the equator at 0 E, Sun overhead: everything within 43 degrees
    // is in daylight, so the blue is the rim darkening alone.
    chart.RenderDisc(0.0, 0.0, sun, true);
    // (240 + 150, 240 - 100): rho = 180.28; exact 170 (1.5 - 0.4237) = 182.97
    EXPECT_EQ(PixelAt(chart, 390, 140), (Rgb{0, 0, RimBrightness(std::sqrt(150.0 * 150 + 100 * 100))}));
    EXPECT_EQ(chart.m_nChartDist[140 * kSize + 390], 180);
    chart.RenderDisc(0.0, 0.0, sun, false);
    EXPECT_EQ(PixelAt(chart, 390, 140), (Rgb{0, 0, RimBrightness(180.0)}));
    EXPECT_EQ(PixelAt(chart, 240, 1), (Rgb{0, 0, 87}));
    EXPECT_EQ(PixelAt(chart, 240, 240), (Rgb{0, 0, 255}));
}

TEST(ChartDisc, NightDimsAcrossTheTerminator)
{
    CWorldChart chart;
    // Home 0 N 0 E, Sun over 90 E at the equator: the terminator runs down
    // the chart's centre; east is day, west night.
    chart.RenderDisc(0.0, 0.0, SunOverMeridian(90), true);
    chart.RenderDisc(0.0, 0.0, SunOverMeridian(90), false);
    for (int x = 20; x < 460; x += 3) {
        const Cell cell = ComputeCell(x, 240, SafeHome(0.0, 0.0));
        const int z = ComputeZenith(cell.nRow, cell.nCol, SunOverMeridian(90));
        const int want = NightBrightness(RimBrightness(std::abs(x - 240)), z);
        EXPECT_EQ(PixelAt(chart, x, 240).b, want) << x;
    }
    // Well to the west (cells 20 W): full night; to the east full day.
    EXPECT_EQ(PixelAt(chart, 130, 240).b, NightBrightness(RimBrightness(110), 180));
    EXPECT_EQ(PixelAt(chart, 350, 240).b, RimBrightness(110));
}

TEST(ChartDisc, SpaceIsBlackWithFewChangingStars)
{
    CWorldChart chart;
    chart.RenderDisc(51.5, 0.0, SunOverMeridian(0), true);
    std::vector<uint8_t> first(chart.Raster(), chart.Raster() + kSize * kSize * 3);
    int space = 0, white = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool bSpace = chart.m_nChartRow[y * kSize + x] == kSpaceRow;
            const Rgb px = PixelAt(chart, x, y);
            if (bSpace) {
                ++space;
                ASSERT_TRUE(px == (Rgb{0, 0, 0}) || px == (Rgb{255, 255, 255})) << x << "," << y;
                white += px.r == 255;
            } else {
                ASSERT_EQ(px.r, 0);
            }
        }
    }
    // 231,361 pixels less the disc's 180,941: 50,420; 132 / 32768 are stars.
    EXPECT_NEAR(space, 50420, 40);
    EXPECT_GT(white, 203 - 70);
    EXPECT_LT(white, 203 + 70);

    chart.RenderDisc(51.5, 0.0, SunOverMeridian(0), false);
    int changed = 0;
    for (size_t i = 0; i < first.size(); ++i)
        changed += first[i] != chart.Raster()[i];
    EXPECT_GT(changed, 0);  // stars twinkle from paint to paint
}

TEST(ChartDisc, CacheIsRebuiltOnlyWhenAsked)
{
    auto chart = LoadedChart();
    const Sun sun = SunOverMeridian(0);
    chart->RenderDisc(51.5, 0.0, sun, true);
    const std::vector<int16_t> rows = chart->m_nChartRow;
    const std::vector<int16_t> cols = chart->m_nChartCol;
    const std::vector<int32_t> dists = chart->m_nChartDist;
    chart->RenderDisc(51.5, 0.0, sun, false);
    std::vector<uint8_t> london(chart->Raster(), chart->Raster() + kSize * kSize * 3);

    // Home moves to Sydney, without the flag: the cache and the disc stay.
    chart->RenderDisc(-33.9, 151.2, sun, false);
    EXPECT_EQ(chart->m_nChartRow, rows);
    EXPECT_EQ(chart->m_nChartCol, cols);
    EXPECT_EQ(chart->m_nChartDist, dists);
    for (int i = 0; i < kSize * kSize; ++i) {
        if (rows[static_cast<size_t>(i)] < 180) {
            ASSERT_EQ(london[3 * i + 1], chart->Raster()[3 * i + 1]);
            ASSERT_EQ(london[3 * i + 2], chart->Raster()[3 * i + 2]);
        }
    }

    // With the flag the cache follows the new home.
    chart->RenderDisc(-33.9, 151.2, sun, true);
    EXPECT_NE(chart->m_nChartRow, rows);
    EXPECT_EQ(chart->m_nChartRow[240 * kSize + 240], 123);
    EXPECT_EQ(chart->m_nChartCol[240 * kSize + 240], 151);
}

TEST(ChartDisc, MissingGlobeGivesAnAllSeaChart)
{
    CWorldChart chart;
    EXPECT_FALSE(chart.LoadGlobe("/nonexistent/globe.dat"));
    chart.RenderDisc(23.5, 10.5, SunOverMeridian(10), true);
    int blue = 0;
    for (int i = 0; i < kSize * kSize; ++i) {
        if (chart.m_nChartRow[static_cast<size_t>(i)] == kSpaceRow)
            continue;
        ASSERT_EQ(chart.Raster()[3 * i + 1], 0);  // no green anywhere on the disc
        ASSERT_EQ(chart.Raster()[3 * i], 0);
        blue += chart.Raster()[3 * i + 2] > 0;
    }
    EXPECT_GT(blue, 180000);
}

TEST(ChartDisc, UnsoundHomesPaintWithoutLeavingTheMask)
{
    auto chart = LoadedChart();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& home :
         {std::pair{90.0, 0.0}, std::pair{-90.0, 0.0}, std::pair{nan, 5.0}, std::pair{45.0, 1e308}}) {
        chart->RenderDisc(home.first, home.second, SunOverMeridian(0), true);
        for (int i = 0; i < kSize * kSize; ++i) {
            const int row = chart->m_nChartRow[static_cast<size_t>(i)];
            ASSERT_TRUE(row == kSpaceRow || (row >= 0 && row <= 180));
            if (row < 180) {
                ASSERT_GE(chart->m_nChartCol[static_cast<size_t>(i)], 0);
                ASSERT_LT(chart->m_nChartCol[static_cast<size_t>(i)], 360);
            }
        }
    }
    // From the South Pole the chart is mostly Antarctica (green).
    chart->RenderDisc(-90.0, 0.0, SunOverMeridian(0), true);
    EXPECT_GT(PixelAt(*chart, 240, 200).g, 0);
    EXPECT_GT(PixelAt(*chart, 300, 260).g, 0);
}

}  // namespace
