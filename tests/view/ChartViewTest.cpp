#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/HalvexDoc.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"
#include "support/FakeDocUi.h"
#include "support/TestDoc.h"
#include "view/ChartView.h"
#include "view/SatellitesView.h"
#include "view/WorldChart.h"

namespace {

// 2024-06-21 12:00:00 UTC
constexpr int64_t kNow = 1718971200;

// An entry whose equator crossing is at lonEast at time `now - t`, such that
// at `now` the satellite stands at the crossing (t = 0) or further on.
void PutCrossing(CSatelliteTable& table, int code, int64_t eqx, double lonEast)
{
    table.m_nEqx[code] = static_cast<int32_t>(eqx);
    table.m_dEql[code] = lonEast;
    table.m_dPer[code] = 6000.0;
    table.m_dInc[code] = 98.7;
}

class DocumentFixture : public ::testing::Test
{
protected:
    DocumentFixture() : m_clock(kNow)
    {
        m_pDoc = std::make_unique<CHalvexDoc>(DetachedDocEnvironment(m_ui, m_clock, ::testing::TempDir()));
    }
    FakeDocUi m_ui;
    CManualClock m_clock;
    std::unique_ptr<CHalvexDoc> m_pDoc;
};

using ChartMarkersForDocument = DocumentFixture;

TEST_F(ChartMarkersForDocument, SatellitesWithinReachInCodeOrder)
{
    CSatelliteTable& table = m_pDoc->m_table;
    // At its crossing now: sub-satellite point 0 N at the crossing longitude.
    PutCrossing(table, 12, kNow, 20.0);  // 20 degrees east of home: drawn
    PutCrossing(table, 8, kNow, 350.0);  // 10 degrees west: drawn, first
    PutCrossing(table, 5, kNow, 100.0);  // 100 degrees away: not drawn
    PutCrossing(table, 3, kNow, 30.0);   // an unnamed code
    const auto markers = ComputeChartMarkers(table, 0.0, 0.0, m_clock);
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_EQ(markers[0].nCode, 3);
    EXPECT_EQ(markers[0].strName, "Unknown");
    EXPECT_EQ(markers[1].nCode, 8);
    EXPECT_EQ(markers[1].strName, "NOAA-18");
    EXPECT_EQ(markers[2].nCode, 12);
    EXPECT_EQ(markers[2].strName, "NOAA-19");
    // West to the left, east to the right, on the equator line.
    EXPECT_NEAR(markers[1].x, 240 - 55, 1);
    EXPECT_NEAR(markers[1].y, 240, 1);
    EXPECT_NEAR(markers[2].x, 240 + 111, 1);
    EXPECT_NEAR(markers[2].y, 240, 1);
}

TEST_F(ChartMarkersForDocument, OnlyInsideFortyFourDegrees)
{
    CSatelliteTable& table = m_pDoc->m_table;
    PutCrossing(table, 5, kNow, 43.5);
    PutCrossing(table, 6, kNow, 315.9);  // 44.1 west
    PutCrossing(table, 7, kNow, 44.5);
    const auto markers = ComputeChartMarkers(table, 0.0, 0.0, m_clock);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers[0].nCode, 5);
    EXPECT_EQ(markers[0].x, 481);  // 240 + 241.67, outside the rim over the stars
}

TEST_F(ChartMarkersForDocument, RebuildFollowsTheFlagAndClearsIt)
{
    auto chart = std::make_unique<CWorldChart>();
    EXPECT_EQ(m_pDoc->m_bRecomputeChart, 1);
    m_pDoc->m_dHomeLat = 51.5;
    m_pDoc->m_dHomeLon = 0.0;
    RenderChartForDocument(*m_pDoc, *chart);
    EXPECT_EQ(m_pDoc->m_bRecomputeChart, 0);
    EXPECT_EQ(chart->m_nChartRow[240 * 481 + 240], 38);

    m_pDoc->m_dHomeLat = -33.9;
    m_pDoc->m_dHomeLon = 151.2;
    RenderChartForDocument(*m_pDoc, *chart);
    EXPECT_EQ(chart->m_nChartRow[240 * 481 + 240], 38);  // still the old cache
    m_pDoc->m_bRecomputeChart = 1;
    RenderChartForDocument(*m_pDoc, *chart);
    EXPECT_EQ(m_pDoc->m_bRecomputeChart, 0);
    EXPECT_EQ(chart->m_nChartRow[240 * 481 + 240], 123);
    EXPECT_EQ(chart->m_nChartCol[240 * 481 + 240], 151);
}

using SatellitesTexts = DocumentFixture;

TEST_F(SatellitesTexts, RowsAtTheLeftFifteenPixelsApart)
{
    CSatelliteTable& table = m_pDoc->m_table;
    EXPECT_TRUE(ComputeSatelliteTexts(table, 52.0, 0.0, m_clock).empty());
    PutCrossing(table, 12, kNow - 100, 10.0);
    PutCrossing(table, 8, kNow - 200, 20.0);
    const auto texts = ComputeSatelliteTexts(table, 52.0, 0.0, m_clock);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].x, 0);
    EXPECT_EQ(texts[0].y, 0);
    EXPECT_EQ(texts[0].strText.rfind("NOAA-18 lat ", 0), 0u);
    EXPECT_NE(texts[0].strText.find("\xB0 lon "), std::string::npos);
    EXPECT_NE(texts[0].strText.find(" +0.0kHz@466MHz"), std::string::npos);  // first drawing
    EXPECT_EQ(texts[1].x, 0);
    EXPECT_EQ(texts[1].y, 15);
    EXPECT_EQ(texts[1].strText.rfind("NOAA-19 lat ", 0), 0u);
    // The drawing remembers the ground distance for the next Doppler shift.
    EXPECT_GT(table.m_dLastGroundDist[8], 0.0);
    EXPECT_GT(table.m_dLastGroundDist[12], 0.0);
}

// The dots as pictures: R outline, Y inside, . not part of the dot.
std::vector<std::string> DotPicture(const std::vector<DotPixel>& pixels, int left, int top, int size)
{
    std::vector<std::string> rows(size, std::string(size, '.'));
    for (const DotPixel& p : pixels) {
        EXPECT_TRUE(p.x >= left && p.x < left + size && p.y >= top && p.y < top + size) << p.x << "," << p.y;
        if (p.x >= left && p.x < left + size && p.y >= top && p.y < top + size)
            rows[p.y - top][p.x - left] = p.bOutline ? 'R' : 'Y';
    }
    return rows;
}

TEST(ChartDots, SatelliteDotIsFivePixelsAcrossFromTwoLeftAndAbove)
{
    const auto pixels = ComputeDotPixels(238, 274, kMarkerDotSize);
    EXPECT_EQ(DotPicture(pixels, 238, 274, 5),
              (std::vector<std::string>{".RRR.", "RYYYR", "RYYYR", "RYYYR", ".RRR."}));
    EXPECT_EQ(pixels.size(), 21u);  // no pixel twice
}

TEST(ChartDots, HomeDotIsSevenPixelsCentredOnTheChartCentre)
{
    const int size = kHomeMarkerRight - kHomeMarkerLeft;
    ASSERT_EQ(size, 7);
    const auto pixels = ComputeDotPixels(kHomeMarkerLeft, kHomeMarkerLeft, size);
    EXPECT_EQ(DotPicture(pixels, kHomeMarkerLeft, kHomeMarkerLeft, size),
              (std::vector<std::string>{"..RRR..", ".RYYYR.", "RYYYYYR", "RYYYYYR", "RYYYYYR", ".RYYYR.",
                                        "..RRR.."}));
    EXPECT_EQ(pixels.size(), 37u);
    EXPECT_EQ(kHomeMarkerLeft + size / 2, kChartCentre);
}

}  // namespace
