#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "view/ChartRender.h"

using namespace chart;

namespace {

// The inverse projection written out plainly, as the chart's formulas read,
// for homes away from the poles.
Cell PlainCell(int x, int y, double homeLat, double homeLon)
{
    Cell c;
    const double dx = x - 240, dy = 240 - y;
    c.dRho = std::sqrt(dx * dx + dy * dy);
    if (c.dRho >= 240)
        return c;
    const double delta = c.dRho * 0.0031415926536;
    const double beta = std::atan2(dx, dy);
    const double a = (90 - homeLat) * 0.01745329252;
    double k = std::cos(beta) * std::sin(delta) * std::sin(a) + std::cos(delta) * std::cos(a);
    if (k <= -1)
        k = -1;
    if (k >= 1)
        k = 1;
    const double p = std::acos(k);
    const double s = std::sin(beta) * std::sin(delta) / std::sin(p);
    double q = (std::cos(delta) - std::cos(p) * std::cos(a)) / (std::sin(p) * std::sin(a));
    if (q <= -1)
        q = -1;
    if (q >= 1)
        q = 1;
    double L = std::acos(q);
    if (s < 0)
        L = -L;
    c.nRow = static_cast<int>(p * 57.29577951289617);
    c.nCol = static_cast<int>(homeLon + L * 57.29577951289617);
    if (c.nCol < 0)
        c.nCol += 360;
    return c;
}

Home At(double lat, double lon)
{
    return SafeHome(lat, lon);
}

TEST(ChartProjection, CentrePixelIsHomesOwnCell)
{
    struct Case
    {
        double lat, lon;
        int row, col;
    };
    const Case cases[] = {
        {51.5, 0.0, 38, 0},     {51.5, -0.12, 38, 0}, {52.0, -40.0, 38, 320}, {-33.9, 151.2, 123, 151},
        {40.0, -74.5, 50, 286}, {0.0, 0.0, 90, 0},    {10.0, -1.0, 80, 359},  {-10.0, 179.9, 100, 179},
    };
    for (const Case& c : cases) {
        const Cell cell = ComputeCell(240, 240, At(c.lat, c.lon));
        EXPECT_EQ(cell.nRow, c.row) << c.lat << " " << c.lon;
        EXPECT_EQ(cell.nCol, c.col) << c.lat << " " << c.lon;
        EXPECT_EQ(cell.dRho, 0.0);
    }
}

TEST(ChartProjection, DistanceOf240AndTheEdgeLinesAreSpace)
{
    const Home home = At(51.5, 0.0);
    for (int i = 0; i < kSize; ++i) {
        EXPECT_EQ(ComputeCell(i, 0, home).nRow, kSpaceRow);
        EXPECT_EQ(ComputeCell(i, 480, home).nRow, kSpaceRow);
        EXPECT_EQ(ComputeCell(0, i, home).nRow, kSpaceRow);
        EXPECT_EQ(ComputeCell(480, i, home).nRow, kSpaceRow);
    }
    // Exactly 240 is outside; 239 inside.
    EXPECT_EQ(ComputeCell(240, 0, home).nRow, kSpaceRow);
    EXPECT_EQ(ComputeCell(480, 240, home).nRow, kSpaceRow);
    EXPECT_LT(ComputeCell(240, 1, home).nRow, 180);
    EXPECT_LT(ComputeCell(479, 240, home).nRow, 180);
    // (384, 48): dx 144, dy 192, rho exactly 240.
    EXPECT_EQ(ComputeCell(384, 48, home).nRow, kSpaceRow);
}

TEST(ChartProjection, UnsetHomeIsCentredOnTheEquatorAtGreenwich)
{
    const Home home = At(0.0, 0.0);
    // 110 pixels are 19.8 degrees of arc.
    EXPECT_EQ(ComputeCell(350, 240, home).nCol, 19);   // east
    EXPECT_EQ(ComputeCell(130, 240, home).nCol, 341);  // 19.8 W truncates to -19
    EXPECT_EQ(ComputeCell(240, 130, home).nRow, 70);   // 19.8 N
    EXPECT_EQ(ComputeCell(240, 350, home).nRow, 109);  // 19.8 S
    EXPECT_EQ(ComputeCell(240, 130, home).nCol, 0);
}

TEST(ChartProjection, StraightUpFromLondonLatitudeReachesRow2)
{
    const Cell cell = ComputeCell(240, 40, At(51.5, 0.0));
    EXPECT_EQ(cell.dRho, 200.0);
    EXPECT_EQ(cell.nRow, 2);  // 87.5 N
    EXPECT_EQ(cell.nCol, 0);
}

TEST(ChartProjection, AgreesWithThePlainFormulasAwayFromThePoles)
{
    const double homes[][2] = {{51.5, -0.12}, {-33.9, 151.2}, {40.7, -74.0}, {0.0, 0.0},
                               {70.0, 25.0},  {-60.0, -60.0}, {12.3, 179.0}};
    int compared = 0;
    for (const auto& h : homes) {
        const Home home = At(h[0], h[1]);
        for (int y = 1; y < 480; y += 7) {
            for (int x = 1; x < 480; x += 5) {
                if (x == 240 && y == 240)
                    continue;
                const Cell got = ComputeCell(x, y, home);
                const Cell want = PlainCell(x, y, h[0], h[1]);
                ASSERT_EQ(got.nRow, want.nRow) << x << "," << y << " home " << h[0] << "," << h[1];
                if (want.nRow != kSpaceRow) {
                    ASSERT_EQ(got.nCol, want.nCol) << x << "," << y << " home " << h[0] << "," << h[1];
                    ++compared;
                }
                ASSERT_EQ(got.dRho, want.dRho);
            }
        }
    }
    EXPECT_GT(compared, 10000);
}

TEST(ChartProjection, PoleHomesGiveASoundChart)
{
    // North Pole: up is the meridian opposite home's, right is 90 E of it.
    const Home north = At(90.0, 0.0);
    EXPECT_EQ(ComputeCell(240, 130, north).nRow, 19);
    EXPECT_EQ(ComputeCell(240, 130, north).nCol, 180);
    EXPECT_EQ(ComputeCell(240, 350, north).nCol, 0);
    const int east = ComputeCell(350, 240, north).nCol;
    EXPECT_TRUE(east == 89 || east == 90) << east;
    const int west = ComputeCell(130, 240, north).nCol;
    EXPECT_TRUE(west == 270 || west == 271 || west == 269) << west;
    // South Pole: up is home's own meridian.
    const Home south = At(-90.0, 30.0);
    EXPECT_EQ(ComputeCell(240, 130, south).nRow, 160);
    EXPECT_EQ(ComputeCell(240, 130, south).nCol, 30);
    const int eastS = ComputeCell(350, 240, south).nCol;
    EXPECT_TRUE(eastS == 119 || eastS == 120) << eastS;
    for (const Home& home : {north, south}) {
        for (int y = 0; y < kSize; y += 3) {
            for (int x = 0; x < kSize; x += 3) {
                const Cell c = ComputeCell(x, y, home);
                if (c.nRow == kSpaceRow)
                    continue;
                ASSERT_GE(c.nRow, 0);
                ASSERT_LE(c.nRow, 180);
                ASSERT_GE(c.nCol, 0);
                ASSERT_LT(c.nCol, 360);
            }
        }
    }
    EXPECT_LE(ComputeCell(300, 300, north).nRow, 44);
    EXPECT_GE(ComputeCell(300, 300, south).nRow, 136);
}

TEST(ChartProjection, UnusableHomesNeverLeaveTheMask)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double homes[][2] = {{nan, nan},    {inf, -inf},    {95.0, 700.0}, {-1e300, 1e300},
                               {45.0, 359.9}, {45.0, -359.9}, {54.0, 180.0}, {36.0, -180.0}};
    for (const auto& h : homes) {
        const Home home = SafeHome(h[0], h[1]);
        for (int y = 1; y < 480; y += 3) {
            for (int x = 1; x < 480; x += 3) {
                const Cell c = ComputeCell(x, y, home);
                if (c.nRow == kSpaceRow)
                    continue;
                ASSERT_GE(c.nRow, 0) << h[0] << "," << h[1];
                ASSERT_LE(c.nRow, 180);
                ASSERT_GE(c.nCol, 0);
                ASSERT_LT(c.nCol, 360);
            }
        }
    }
    // Not-a-number counts as unset.
    const Cell c = ComputeCell(240, 240, SafeHome(nan, nan));
    EXPECT_EQ(c.nRow, 90);
    EXPECT_EQ(c.nCol, 0);
    // A home on the antimeridian: just east of it wraps into the west.
    EXPECT_EQ(ComputeCell(350, 240, At(0.0, 180.0)).nCol, 199);
    EXPECT_EQ(ComputeCell(350, 240, At(0.0, 350.0)).nCol, 9);
}

TEST(ChartShading, RimDarkeningRunsFrom255To87)
{
    EXPECT_EQ(RimBrightness(0.0), 255);
    EXPECT_EQ(RimBrightness(239.0), 87);
    EXPECT_EQ(RimBrightness(100.0), 242);  // 170 * (1.5 - 0.0723...) = 242.7
    EXPECT_EQ(RimBrightness(200.0), 156);  // 170 * (1.5 - 0.5787...) = 156.6
    for (int d = 1; d < 240; ++d)
        EXPECT_LE(RimBrightness(d), RimBrightness(d - 1));
}

TEST(ChartShading, NightDimmingSteps)
{
    EXPECT_EQ(NightBrightness(255, 0), 255);
    EXPECT_EQ(NightBrightness(255, 85), 255);
    EXPECT_EQ(NightBrightness(255, 86), 248);  // 97.5 %
    EXPECT_EQ(NightBrightness(200, 86), 195);
    EXPECT_EQ(NightBrightness(255, 90), 223);  // 87.5 %
    EXPECT_EQ(NightBrightness(255, 94), 197);  // 77.5 %
    EXPECT_EQ(NightBrightness(200, 94), 155);
    EXPECT_EQ(NightBrightness(255, 95), 191);  // full night
    EXPECT_EQ(NightBrightness(255, 180), 191);
    EXPECT_EQ(NightBrightness(87, 180), 65);
}

TEST(ChartSun, DeclinationAndSubSolarLongitude)
{
    Sun s = ComputeSun(0, 12, 0);
    EXPECT_DOUBLE_EQ(s.dDeclination, 0.0);
    EXPECT_DOUBLE_EQ(s.dSubSolarLon, 0.0);
    s = ComputeSun(91, 0, 0);  // about a quarter year: near the full 22.5
    EXPECT_NEAR(s.dDeclination, 22.5, 0.01);
    EXPECT_DOUBLE_EQ(s.dSubSolarLon, 180.0);
    s = ComputeSun(-91, 23, 59);
    EXPECT_NEAR(s.dDeclination, -22.5, 0.01);
    EXPECT_DOUBLE_EQ(s.dSubSolarLon, 180.0 - 345.0 - 14.75);
    s = ComputeSun(10, 6, 30);
    EXPECT_DOUBLE_EQ(s.dDeclination, 22.5 * std::sin(10 * 0.017202423839014373));
    EXPECT_DOUBLE_EQ(s.dSubSolarLon, 82.5);
}

TEST(ChartSun, ZenithOfCells)
{
    const Sun noonAtGreenwich = ComputeSun(0, 12, 0);  // sun over 0 N 0 E
    EXPECT_EQ(ComputeZenith(90, 0, noonAtGreenwich), 0);
    EXPECT_EQ(ComputeZenith(38, 0, noonAtGreenwich), 52);     // 52 N
    EXPECT_EQ(ComputeZenith(90, 180, noonAtGreenwich), 179);  // antipode (acos rounding)
    EXPECT_EQ(ComputeZenith(0, 0, noonAtGreenwich), 90);
    EXPECT_EQ(ComputeZenith(90, 87, noonAtGreenwich), 87);
    const Sun juneMidnight = ComputeSun(92, 0, 0);        // sun near 22.5 N 180 E
    EXPECT_EQ(ComputeZenith(0, 0, juneMidnight), 67);     // North Pole in polar day
    EXPECT_EQ(ComputeZenith(179, 0, juneMidnight), 113);  // 360 - 67.5 - 179
}

class ChartClock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_bHadTz = tz != nullptr;
        if (tz)
            m_strTz = tz;
    }
    void TearDown() override
    {
        if (m_bHadTz)
            setenv("TZ", m_strTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void UseTz(const char* tz)
    {
        setenv("TZ", tz, 1);
        tzset();
    }
    bool m_bHadTz = false;
    std::string m_strTz;
};

// 2024-03-21 00:00:00 UTC
constexpr int64_t kEquinox2024Utc = 1710979200;

TEST_F(ChartClock, DaysSinceLocalEquinoxMidnight)
{
    UseTz("UTC0");
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc), 0);
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc + 86399), 0);
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc + 86400), 1);
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc - 1), 0);  // truncated toward zero
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc - 86401), -1);
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc - 79 * 86400), -79);  // 2 January
    // 2024-12-31 23:00 UTC is still 2024.
    EXPECT_EQ(DaysSinceEquinox(1735686000), 285);

    // Central Europe: the local midnight is an hour earlier in UTC, and the
    // equinox moment of 2024 is counted from local 21 March.
    UseTz("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc - 3600), 0);
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc - 3601), 0);
    EXPECT_EQ(DaysSinceEquinox(kEquinox2024Utc + 86400 - 3600), 1);
    // New Year's night: 2025-01-01 00:30 local is 2024-12-31 23:30 UTC, a new
    // local year with its equinox ahead.
    EXPECT_LT(DaysSinceEquinox(1735687800), -70);
}

TEST_F(ChartClock, SubSolarLongitudeFollowsTheUtcClock)
{
    // 2024-06-21 12:00 UTC: the Sun stands over Greenwich whatever the zone.
    const int64_t noon = 1718971200;
    for (const char* tz : {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "NZST-12"}) {
        UseTz(tz);
        const Sun s = ComputeSunAt(noon);
        EXPECT_DOUBLE_EQ(s.dSubSolarLon, 0.0) << tz;
        EXPECT_NEAR(s.dDeclination, 22.5, 0.05) << tz;
    }
    UseTz("UTC0");
    EXPECT_DOUBLE_EQ(ComputeSunAt(noon + 3 * 3600 + 20 * 60 + 59).dSubSolarLon, 180.0 - 225.0 - 5.0);
}

TEST(ChartMarkers, DrawnInsideFortyFourDegreesOnly)
{
    int x = -99, y = -99;
    ASSERT_TRUE(ComputeMarker(0.0, 0.0, x, y));
    EXPECT_EQ(x, 240);
    EXPECT_EQ(y, 240);
    ASSERT_TRUE(ComputeMarker(43.5, 0.0, x, y));  // north, just outside the rim
    EXPECT_EQ(x, 240);
    EXPECT_EQ(y, -1);                                          // 240 - 241.67
    ASSERT_TRUE(ComputeMarker(43.5, 3.1415926536 / 2, x, y));  // west is to the left
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, 240);
    ASSERT_TRUE(ComputeMarker(9.738, 5.744, x, y));        // 60 N 10 E seen from 52 N 0 E
    EXPECT_EQ(x, 267);                                     // 240 + 27.8
    EXPECT_EQ(y, 193);                                     // 240 - 46.4
    ASSERT_TRUE(ComputeMarker(22.0, 3.1415926536, x, y));  // due south
    EXPECT_EQ(x, 240);                                     // sin of the rounded pi is a hair below 0
    EXPECT_EQ(y, 362);
    EXPECT_TRUE(ComputeMarker(43.999, 1.0, x, y));
    EXPECT_FALSE(ComputeMarker(44.0, 0.0, x, y));
    EXPECT_FALSE(ComputeMarker(120.0, 0.0, x, y));
    EXPECT_FALSE(ComputeMarker(std::numeric_limits<double>::quiet_NaN(), 0.0, x, y));
    EXPECT_FALSE(ComputeMarker(10.0, std::numeric_limits<double>::quiet_NaN(), x, y));
}

TEST(ChartStars, UniformDrawsGiveTheStarDensity)
{
    StarSource stars(12345);
    const int draws = 1 << 20;
    int white = 0;
    long long sum = 0;
    int minimum = 32767, maximum = 0;
    int buckets[8] = {};
    for (int i = 0; i < draws; ++i) {
        const int v = stars.Next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
        white += v <= kStarLimit;
        sum += v;
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
        ++buckets[v >> 12];
    }
    // Expected 132 / 32768 of the draws: 4,224, standard deviation about 65.
    EXPECT_GT(white, 4224 - 300);
    EXPECT_LT(white, 4224 + 300);
    EXPECT_NEAR(static_cast<double>(sum) / draws, 16383.5, 60.0);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 32767);
    for (int b : buckets)
        EXPECT_NEAR(b, draws / 8, 1500);
}

}  // namespace
