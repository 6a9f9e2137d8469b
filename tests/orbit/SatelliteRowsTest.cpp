#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "messages/SatelliteTable.h"
#include "orbit/SatelliteRows.h"
#include "platform/Clock.h"

namespace {

constexpr int64_t kEqx = 1230000000;

void SetEntry(CSatelliteTable& table, int code, double eql, double per = 6000.0, double inc = 98.7)
{
    table.m_nEqx[code] = static_cast<int32_t>(kEqx);
    table.m_dEql[code] = eql;
    table.m_dPer[code] = per;
    table.m_dInc[code] = inc;
}

SatPosition At(double lat, double lon)
{
    SatPosition pos;
    pos.dLat = lat;
    pos.dLon = lon;
    return pos;
}

LookAngles Look(double az, double alt, double range)
{
    LookAngles look;
    look.dAzimuth = az;
    look.dElevation = alt;
    look.dRange = range;
    return look;
}

}  // namespace

TEST(SatelliteRows, WorkedExampleRow)
{
    // Inclination 90 and a sixth of an orbit put code 8 at 60 N; the crossing
    // longitude is chosen so the ground's turn leaves it at 10 E.
    CSatelliteTable table;
    SetEntry(table, 8, 10.0 + 1000.0 / 240.0, 6000.0, 90.0);
    table.m_dLastGroundDist[8] = 1084.1;
    const CManualClock clock(kEqx + 1000);

    const std::vector<SatelliteRow> rows = ComputeSatelliteRows(table, 52.0, 0.0, clock);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(8, rows[0].nCode);
    EXPECT_EQ(0, rows[0].nY);
    EXPECT_EQ("NOAA-18 lat  60.00\xB0 lon   10.00\xB0 az 031\xB0 alt  30\xB0 range  1413km  +0.7kHz@466MHz",
              rows[0].strText);
    EXPECT_NEAR(1083.3, table.m_dLastGroundDist[8], 0.05);
}

TEST(SatelliteRows, CodeOrderPlacesAndSkips)
{
    CSatelliteTable table;
    const CManualClock clock(kEqx);
    EXPECT_TRUE(ComputeSatelliteRows(table, 52.0, 0.0, clock).empty());

    SetEntry(table, 12, 20.0);
    SetEntry(table, 8, 30.0);
    std::vector<SatelliteRow> rows = ComputeSatelliteRows(table, 52.0, 0.0, clock);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(8, rows[0].nCode);
    EXPECT_EQ(0, rows[0].nY);
    EXPECT_EQ(0u, rows[0].strText.rfind("NOAA-18 lat ", 0));
    EXPECT_EQ(12, rows[1].nCode);
    EXPECT_EQ(15, rows[1].nY);
    EXPECT_EQ(0u, rows[1].strText.rfind("NOAA-19 lat ", 0));

    // An unnamed code keeps its place; entries the prediction cannot use leave
    // no row and no gap; codes past 15 are scanned too.
    SetEntry(table, 3, 40.0);
    SetEntry(table, 9, 50.0, 0.0);  // period 0 would never fold
    SetEntry(table, 10, 50.0, -5.0);
    SetEntry(table, 63, 60.0);
    table.m_dPer[5] = 6000.0;  // a period without elements is still no entry
    rows = ComputeSatelliteRows(table, 52.0, 0.0, clock);
    ASSERT_EQ(4u, rows.size());
    const int codes[] = {3, 8, 12, 63};
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(codes[k], rows[k].nCode);
        EXPECT_EQ(static_cast<int>(15 * k), rows[k].nY);
    }
    EXPECT_EQ(0u, rows[0].strText.rfind("Unknown lat   0.00\xB0 lon   40.00\xB0 ", 0)) << rows[0].strText;
    EXPECT_EQ(0.0, table.m_dLastGroundDist[9]);
}

TEST(SatelliteRows, DopplerComesFromThePreviousDrawing)
{
    // Ascending over the Greenwich meridian towards a home at 52 N: approaching.
    CSatelliteTable table;
    SetEntry(table, 5, 0.0 + 600.0 / 240.0 + 0.0001);
    CManualClock clock(kEqx + 600);

    std::vector<SatelliteRow> rows = ComputeSatelliteRows(table, 52.0, 0.0, clock);
    ASSERT_EQ(1u, rows.size());
    EXPECT_NE(std::string::npos, rows[0].strText.find("km  +0.0kHz@466MHz")) << rows[0].strText;
    const double first = table.m_dLastGroundDist[5];
    EXPECT_GT(first, 0.0);

    clock.Advance(2);
    rows = ComputeSatelliteRows(table, 52.0, 0.0, clock);
    const double second = table.m_dLastGroundDist[5];
    ASSERT_LT(second, first);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%+5.1lfkHz", ComputeDoppler(first, second));
    EXPECT_NE(std::string::npos, rows[0].strText.find(expected)) << rows[0].strText;
    EXPECT_GT(ComputeDoppler(first, second), 5.0);  // about 6.6 km in 2 s

    // Going away: a larger distance than last time reads negative.
    table.m_dLastGroundDist[5] = second - 10.0;
    rows = ComputeSatelliteRows(table, 52.0, 0.0, clock);
    EXPECT_NE(std::string::npos, rows[0].strText.find(" -7.8kHz@466MHz")) << rows[0].strText;
}

TEST(SatelliteLine, FieldWidthsAndSigns)
{
    EXPECT_EQ("NOAA-15 lat   5.00\xB0 lon    5.00\xB0 az 005\xB0 alt -12\xB0 range  3500km  -1.5kHz@466MHz",
              FormatSatelliteLine(5, At(5.0, 5.0), Look(5.4, -12.3, 3499.6), -1.53));
    EXPECT_EQ("Metop-A lat -81.30\xB0 lon  359.99\xB0 az 360\xB0 alt   0\xB0 range 12000km +12.3kHz@466MHz",
              FormatSatelliteLine(10, At(-81.3, 359.994), Look(359.9999, 0.2, 12000.0), 12.34));
    EXPECT_EQ("Unknown lat   0.00\xB0 lon    0.00\xB0 az 090\xB0 alt  90\xB0 range   820km  +0.0kHz@466MHz",
              FormatSatelliteLine(0, At(0.0, 0.0), Look(90.0, 90.0, 820.0), 0.0));
    // Absurd values are printed whole, not cut off.
    const std::string wide = FormatSatelliteLine(6, At(1e200, 0.0), Look(0.0, 0.0, 0.0), 0.0);
    EXPECT_GT(wide.size(), 200u);
    EXPECT_EQ("kHz@466MHz", wide.substr(wide.size() - 10));
}
