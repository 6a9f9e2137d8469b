// The folds take their passes in bulk; these compare them bit for bit with the
// plain loops they stand for, and check that hostile inputs end promptly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "messages/SatelliteTable.h"
#include "orbit/Predict.h"

namespace {

double PlainFoldOrbitTime(double t, double period)
{
    double t1 = t;
    if (t1 > period) {
        while (t1 > period)
            t1 -= period;
    }
    return t1;
}

double PlainFoldLongitude(double lon)
{
    while (lon < 0.0)
        lon += 360.0;
    while (lon > 360.0)
        lon -= 360.0;
    return lon;
}

// Bit-identical, including the sign of zero.
void ExpectSameBits(double expected, double actual, double input, double step)
{
    EXPECT_EQ(std::signbit(expected), std::signbit(actual)) << "input " << input << " step " << step;
    EXPECT_EQ(expected, actual) << std::hexfloat << "input " << input << " step " << step;
}

// A period as bulletins give it: (x + 95000) * 0.001 minutes, times 60.
double BroadcastPeriod(std::mt19937_64& rng)
{
    std::uniform_int_distribution<int> x(0, 16383);
    return (x(rng) + 95000) * 0.001 * 60.0;
}

}  // namespace

TEST(FoldOrbitTime, MatchesPlainLoopForBroadcastPeriodsOverTenYears)
{
    std::mt19937_64 rng(20240501);
    std::uniform_int_distribution<int64_t> age(-100000, 10LL * 365 * 86400);
    for (int i = 0; i < 2000; ++i) {
        const double period = BroadcastPeriod(rng);
        const double t = static_cast<double>(age(rng));
        ExpectSameBits(PlainFoldOrbitTime(t, period), FoldOrbitTime(t, period), t, period);
    }
}

TEST(FoldOrbitTime, MatchesPlainLoopForArbitraryPeriodsAndFractionalTimes)
{
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> period(60.0, 20000.0);
    std::uniform_real_distribution<double> age(0.0, 3.0e7);
    for (int i = 0; i < 1500; ++i) {
        const double p = period(rng);
        const double t = age(rng);
        ExpectSameBits(PlainFoldOrbitTime(t, p), FoldOrbitTime(t, p), t, p);
    }
}

// A period halfway between two multiples of the spacing of doubles makes each
// pass round half to even; with an even or odd lower multiple the passes go
// differently.
TEST(FoldOrbitTime, MatchesPlainLoopWhenEveryPassIsARoundingTie)
{
    for (int exponent = 20; exponent <= 26; ++exponent) {
        const double spacing = std::ldexp(1.0, exponent - 52);
        for (double extra : {0.5, 1.5, 2.5}) {
            const double period = 6000.0 + extra * spacing;
            for (double start : {std::ldexp(1.0, exponent) + 7 * spacing, std::ldexp(1.0, exponent) * 1.7,
                                 std::ldexp(1.0, exponent + 1) - spacing}) {
                ExpectSameBits(PlainFoldOrbitTime(start, period), FoldOrbitTime(start, period), start,
                               period);
            }
        }
    }
}

TEST(FoldOrbitTime, KeepsSmallAndNegativeTimesAndEndsExactlyOnePeriodAtPeriod)
{
    EXPECT_EQ(0.0, FoldOrbitTime(0.0, 6000.0));
    EXPECT_EQ(-1500.0, FoldOrbitTime(-1500.0, 6000.0));
    EXPECT_EQ(-1.0e9, FoldOrbitTime(-1.0e9, 6000.0));
    EXPECT_EQ(6000.0, FoldOrbitTime(6000.0, 6000.0));
    EXPECT_EQ(6000.0, FoldOrbitTime(12000.0, 6000.0));
    EXPECT_EQ(1.0, FoldOrbitTime(6001.0, 6000.0));
    EXPECT_EQ(1500.0, FoldOrbitTime(7500.0, 6000.0));
}

TEST(FoldOrbitTime, EndsInRangeForHostileInputs)
{
    // The plain loop would take 1.5e17 passes here, or never end once a
    // period is below half the spacing of doubles at t.
    const double cases[][2] = {{9.2e18, 60.0},    {9.2e18, 6000.0},
                               {1.0e300, 60.0},   {4.3e9, 60.0},
                               {1.0e9, 1.0e-300}, {std::numeric_limits<double>::infinity(), 60.0}};
    for (const auto& c : cases) {
        const double t1 = FoldOrbitTime(c[0], c[1]);
        EXPECT_GT(t1, 0.0) << c[0] << " " << c[1];
        EXPECT_LE(t1, c[1]) << c[0] << " " << c[1];
    }
    // Where the plain loop does end it gives the same bits, however long it takes.
    ExpectSameBits(PlainFoldOrbitTime(4.3e9, 60.0), FoldOrbitTime(4.3e9, 60.0), 4.3e9, 60.0);
}

TEST(FoldLongitude, MatchesPlainLoopsOverTenYearsOfGroundTurn)
{
    std::mt19937_64 rng(99);
    std::uniform_int_distribution<int64_t> age(-1000000, 10LL * 365 * 86400);
    std::uniform_real_distribution<double> eql(0.0, 524.287);
    std::uniform_real_distribution<double> track(-180.0, 180.0);
    for (int i = 0; i < 3000; ++i) {
        const double lon = eql(rng) - static_cast<double>(age(rng)) * 0.004166666666666667 + track(rng);
        ExpectSameBits(PlainFoldLongitude(lon), FoldLongitude(lon), lon, 360.0);
    }
}

TEST(FoldLongitude, EdgesOfTheRange)
{
    EXPECT_EQ(40.0, FoldLongitude(400.0));
    EXPECT_EQ(360.0, FoldLongitude(360.0));
    EXPECT_EQ(360.0, FoldLongitude(720.0));  // stops once not above 360
    EXPECT_EQ(0.0, FoldLongitude(-360.0));
    EXPECT_FALSE(std::signbit(FoldLongitude(-360.0)));  // the addition gives +0
    EXPECT_EQ(0.0, FoldLongitude(-720.0));
    EXPECT_FALSE(std::signbit(FoldLongitude(-720.0)));
    EXPECT_TRUE(std::signbit(FoldLongitude(-0.0)));  // untouched, as the loop leaves it
    EXPECT_EQ(338.75, FoldLongitude(-21.25));
    ExpectSameBits(PlainFoldLongitude(-1.0e-300), FoldLongitude(-1.0e-300), -1.0e-300, 360.0);
    const double huge = FoldLongitude(-3.8e16);
    EXPECT_GE(huge, 0.0);
    EXPECT_LE(huge, 360.0);
    EXPECT_TRUE(std::isnan(FoldLongitude(std::nan(""))));
}

TEST(FoldOrbitTime, SubSatellitePointEndsForExtremeClockValues)
{
    CSatelliteTable table;
    table.m_nEqx[5] = 1234567890;
    table.m_dEql[5] = 100.0;
    table.m_dPer[5] = 60.0;
    table.m_dInc[5] = 98.7;
    for (int64_t now :
         {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min(), int64_t{0}}) {
        const SatPosition pos = ComputeSubSatellitePoint(table, 5, now);
        EXPECT_GE(pos.dLat, -90.0) << now;
        EXPECT_LE(pos.dLat, 90.0) << now;
        EXPECT_GE(pos.dLon, 0.0) << now;
        EXPECT_LE(pos.dLon, 360.0) << now;
    }
}
