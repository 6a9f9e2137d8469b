#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "messages/SatelliteTable.h"
#include "orbit/Predict.h"

namespace {

constexpr double kRad = 0.01745329252;
constexpr double kDeg = 57.29577951289617;
constexpr int64_t kEqx = 1230000000;  // 2008-12-23

CSatelliteTable TableWith(int code, double eql, double per, double inc, int64_t eqx = kEqx)
{
    CSatelliteTable table;
    table.m_nEqx[code] = static_cast<int32_t>(static_cast<uint32_t>(eqx));
    table.m_dEql[code] = eql;
    table.m_dPer[code] = per;
    table.m_dInc[code] = inc;
    return table;
}

// The sub-satellite point written out step by step with the plain loops.
SatPosition ReferencePoint(const CSatelliteTable& table, int code, int64_t now)
{
    const double t =
        static_cast<double>(now - static_cast<int64_t>(static_cast<uint32_t>(table.m_nEqx[code])));
    const double p = table.m_dPer[code];
    double t1 = t;
    if (t > p) {
        while (t1 > p)
            t1 -= p;
    }
    const double u = t1 * 6.2831853072 / p;
    const double i = table.m_dInc[code] * kRad;
    SatPosition pos;
    pos.dLat = std::asin(std::sin(i) * std::sin(u)) * kDeg;
    const double w = std::atan2(std::cos(i) * std::sin(u), std::cos(u));
    double lon = table.m_dEql[code] - t * 0.004166666666666667 + w * kDeg;
    while (lon < 0)
        lon += 360;
    while (lon > 360)
        lon -= 360;
    pos.dLon = lon;
    return pos;
}

SatPosition At(double lat, double lon)
{
    SatPosition pos;
    pos.dLat = lat;
    pos.dLon = lon;
    return pos;
}

}  // namespace

TEST(SubSatellitePoint, AtTheCrossingAndFromTheFuture)
{
    CSatelliteTable table = TableWith(8, 123.4, 6000.0, 98.7);
    SatPosition pos = ComputeSubSatellitePoint(table, 8, kEqx);
    EXPECT_EQ(0.0, pos.dLat);
    EXPECT_EQ(123.4, pos.dLon);

    table.m_dEql[8] = 400.0;  // broadcast longitudes reach 524.287
    pos = ComputeSubSatellitePoint(table, 8, kEqx);
    EXPECT_EQ(40.0, pos.dLon);

    // Elements from 1,500 s in the future are used unfolded: a quarter orbit
    // before the ascending crossing is far south.
    table.m_dEql[8] = 100.0;
    pos = ComputeSubSatellitePoint(table, 8, kEqx - 1500);
    EXPECT_NEAR(-81.3, pos.dLat, 1e-6);
    EXPECT_NEAR(196.25, pos.dLon, 1e-6);
}

TEST(SubSatellitePoint, QuarterHalfAndWholePeriods)
{
    const CSatelliteTable table = TableWith(5, 100.0, 6000.0, 98.7);
    SatPosition pos = ComputeSubSatellitePoint(table, 5, kEqx + 1500);
    EXPECT_NEAR(81.3, pos.dLat, 1e-6);
    EXPECT_NEAR(3.75, pos.dLon, 1e-6);

    // One period more: same latitude, the ground 25 degrees further round.
    pos = ComputeSubSatellitePoint(table, 5, kEqx + 7500);
    EXPECT_NEAR(81.3, pos.dLat, 1e-6);
    EXPECT_NEAR(338.75, pos.dLon, 1e-6);

    pos = ComputeSubSatellitePoint(table, 5, kEqx + 3000);
    EXPECT_NEAR(0.0, pos.dLat, 1e-6);
    EXPECT_NEAR(267.5, pos.dLon, 1e-6);  // 100 - 12.5 - 180, folded

    // Exactly one period: t1 stays P, which is the crossing again.
    pos = ComputeSubSatellitePoint(table, 5, kEqx + 6000);
    EXPECT_NEAR(0.0, pos.dLat, 1e-6);
    EXPECT_NEAR(75.0, pos.dLon, 1e-6);

    // Ten days: 3,600 degrees of ground turn bring the crossing meridian back.
    pos = ComputeSubSatellitePoint(table, 5, kEqx + 864000);
    EXPECT_NEAR(0.0, pos.dLat, 1e-6);
    EXPECT_NEAR(100.0, pos.dLon, 1e-6);
}

TEST(SubSatellitePoint, ReadsTheCrossingTimeUnsigned)
{
    // 0xFFFFFFFF is a crossing in 2106, not one second before 1970.
    const CSatelliteTable table = TableWith(12, 50.0, 6000.0, 98.7, 4294967295LL);
    const SatPosition pos = ComputeSubSatellitePoint(table, 12, 4294967295LL + 1500);
    EXPECT_NEAR(81.3, pos.dLat, 1e-6);
    EXPECT_NEAR(50.0 - 6.25 - 90.0 + 360.0, pos.dLon, 1e-6);
}

TEST(SubSatellitePoint, SameBitsAsTheStepByStepRecipe)
{
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int> periodField(0, 16383);
    std::uniform_int_distribution<int> incField(0, 65535);
    std::uniform_int_distribution<int> eqlField(1, 524287);
    std::uniform_int_distribution<int64_t> age(-86400, 5LL * 365 * 86400);
    for (int n = 0; n < 500; ++n) {
        const int code = n % 16;
        const CSatelliteTable table =
            TableWith(code, eqlField(rng) * 0.001, (periodField(rng) + 95000) * 0.001 * 60.0,
                      incField(rng) * 0.0001 + 97.0);
        const int64_t now = kEqx + age(rng);
        const SatPosition expected = ReferencePoint(table, code, now);
        const SatPosition actual = ComputeSubSatellitePoint(table, code, now);
        ASSERT_EQ(expected.dLat, actual.dLat) << "case " << n;
        ASSERT_EQ(expected.dLon, actual.dLon) << "case " << n;
    }
}

TEST(IsPredictable, NeedsElementsAndASanePeriod)
{
    CSatelliteTable table = TableWith(7, 10.0, 6000.0, 98.7);
    EXPECT_TRUE(IsPredictable(table, 7));
    EXPECT_FALSE(IsPredictable(table, 6));  // no elements
    EXPECT_FALSE(IsPredictable(table, -1));
    EXPECT_FALSE(IsPredictable(table, 64));

    for (double bad : {0.0, -6000.0, 59.999, std::nan(""), HUGE_VAL}) {
        table.m_dPer[7] = bad;
        EXPECT_FALSE(IsPredictable(table, 7)) << bad;
    }
    table.m_dPer[7] = 60.0;
    EXPECT_TRUE(IsPredictable(table, 7));

    table.m_dInc[7] = std::nan("");
    EXPECT_FALSE(IsPredictable(table, 7));
    table.m_dInc[7] = 98.7;
    table.m_dEql[7] = HUGE_VAL;
    EXPECT_FALSE(IsPredictable(table, 7));
    table.m_dEql[7] = 0.0;
    EXPECT_FALSE(IsPredictable(table, 7));
}

TEST(LookAngles, OverheadHorizonAndTenDegrees)
{
    // Straight overhead cos psi can round just past 1; the angles must stay numbers.
    for (double lat : {-89.0, -52.3, 0.0, 12.345, 52.0, 60.0, 81.3}) {
        for (double lon : {0.0, 8.6, 179.9, 300.0}) {
            const LookAngles look = ComputeLookAngles(At(lat, lon), lat, lon > 180 ? lon - 360 : lon);
            EXPECT_NEAR(90.0, look.dElevation, 1e-3) << lat << " " << lon;
            EXPECT_NEAR(820.0, look.dRange, 1e-3) << lat << " " << lon;
            EXPECT_FALSE(std::isnan(look.dAzimuth)) << lat << " " << lon;
            EXPECT_NEAR(0.0, look.dCentralAngle, 1e-6);
        }
    }

    LookAngles look = ComputeLookAngles(At(27.615, 0.0), 0.0, 0.0);
    EXPECT_NEAR(0.0, look.dElevation, 0.01);
    EXPECT_NEAR(3336.5, look.dRange, 0.1);
    EXPECT_NEAR(27.615, look.dCentralAngle * kDeg, 1e-6);

    look = ComputeLookAngles(At(19.24, 0.0), 0.0, 0.0);
    EXPECT_NEAR(10.0, look.dElevation, 0.02);
    EXPECT_NEAR(2408.0, look.dRange, 1.0);

    look = ComputeLookAngles(At(-40.0, 0.0), 0.0, 0.0);  // far below the horizon
    EXPECT_LT(look.dElevation, -10.0);
}

TEST(LookAngles, AzimuthQuadrants)
{
    // The arc cosine near 1 magnifies rounding to a few millionths of a degree.
    EXPECT_NEAR(360.0, ComputeLookAngles(At(60.0, 0.0), 52.0, 0.0).dAzimuth,
                1e-4);  // due north is 360, not 0
    EXPECT_NEAR(90.0, ComputeLookAngles(At(0.0, 10.0), 0.0, 0.0).dAzimuth, 1e-4);
    EXPECT_NEAR(270.0, ComputeLookAngles(At(0.0, 350.0), 0.0, 0.0).dAzimuth, 1e-4);
    EXPECT_NEAR(180.0, ComputeLookAngles(At(30.0, 0.0), 52.0, 0.0).dAzimuth, 1e-4);
    // Home at a pole: the denominator is held off zero, the answer stays a number.
    EXPECT_FALSE(std::isnan(ComputeLookAngles(At(60.0, 30.0), 90.0, 0.0).dAzimuth));
}

TEST(LookAngles, WorkedExampleFromFiftyTwoNorth)
{
    LookAngles look = ComputeLookAngles(At(60.0, 10.0), 52.0, 0.0);
    EXPECT_NEAR(30.9, look.dAzimuth, 0.05);
    EXPECT_NEAR(30.5, look.dElevation, 0.05);
    EXPECT_NEAR(1412.6, look.dRange, 0.05);
    EXPECT_NEAR(9.738, look.dCentralAngle * kDeg, 0.0005);
    EXPECT_NEAR(1083.3, ComputeGroundDistance(look.dCentralAngle), 0.05);

    look = ComputeLookAngles(At(30.0, 0.0), 52.0, 0.0);
    EXPECT_NEAR(180.0, look.dAzimuth, 0.05);
    EXPECT_NEAR(6.3, look.dElevation, 0.05);
    EXPECT_NEAR(2712.6, look.dRange, 0.05);
}

TEST(GroundDistanceAndDoppler, Scales)
{
    EXPECT_NEAR(111.24, ComputeGroundDistance(kRad), 1e-6);
    EXPECT_EQ(0.0, ComputeDoppler(0.0, 1234.5));  // first drawing
    EXPECT_NEAR(0.7767, ComputeDoppler(1001.0, 1000.0), 1e-4);
    EXPECT_NEAR(-0.7767, ComputeDoppler(1000.0, 1001.0), 1e-4);
    EXPECT_EQ(0.0, ComputeDoppler(500.0, 500.0));
}

TEST(ChartPolar, WorkedExamplesAndSpecialBearings)
{
    ChartPolar polar = ComputeChartPolar(At(60.0, 10.0), 52.0, 0.0);
    EXPECT_NEAR(9.738, polar.dDistanceDeg, 0.0005);
    EXPECT_NEAR(5.744, polar.dBearing, 0.0005);

    polar = ComputeChartPolar(At(30.0, 0.0), 52.0, 0.0);  // due south: the sine test gives 0
    EXPECT_NEAR(22.0, polar.dDistanceDeg, 1e-6);
    EXPECT_EQ(3.1415926536, polar.dBearing);

    polar = ComputeChartPolar(At(60.0, 0.0), 52.0, 0.0);  // due north
    EXPECT_EQ(0.0, polar.dBearing);

    polar = ComputeChartPolar(At(0.0, 350.0), 0.0, 0.0);  // azimuth 270
    EXPECT_NEAR(1.5707963268, polar.dBearing, 2e-3);      // the sine is held at 0.999999

    // At home, and at the pole, the bearing is a number the chart can use.
    polar = ComputeChartPolar(At(52.0, 0.0), 52.0, 0.0);
    EXPECT_NEAR(0.0, polar.dDistanceDeg, 1e-6);
    EXPECT_FALSE(std::isnan(polar.dBearing));
    polar = ComputeChartPolar(At(90.0, 0.0), 52.0, 0.0);
    EXPECT_NEAR(38.0, polar.dDistanceDeg, 1e-6);
    EXPECT_FALSE(std::isnan(polar.dBearing));
}

TEST(ChartPolar, BearingMirrorsTheAzimuth)
{
    std::mt19937_64 rng(1234);
    std::uniform_real_distribution<double> lat(-80.0, 80.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    int checked = 0;
    while (checked < 2000) {
        const double homeLat = lat(rng);
        const double homeLon = lon(rng);
        SatPosition pos = At(lat(rng), lon(rng) + 180.0);
        const LookAngles look = ComputeLookAngles(pos, homeLat, homeLon);
        const double central = look.dCentralAngle * kDeg;
        if (central < 1.0 || central > 170.0)
            continue;  // near home or the antipode the direction is ill-defined
        const ChartPolar polar = ComputeChartPolar(pos, homeLat, homeLon);
        EXPECT_NEAR(central, polar.dDistanceDeg, 1e-6);
        EXPECT_GE(polar.dBearing, 0.0);
        EXPECT_LT(polar.dBearing, 6.2831853072);
        // The same direction measured the other way round; the held sine costs
        // up to 0.08 degrees near due east and west.
        double diff = std::fmod(polar.dBearing * kDeg - (360.0 - look.dAzimuth) + 720.0, 360.0);
        if (diff > 180.0)
            diff -= 360.0;
        EXPECT_NEAR(0.0, diff, 0.1) << "home " << homeLat << "," << homeLon << " sat " << pos.dLat << ","
                                    << pos.dLon;
        ++checked;
    }
}
