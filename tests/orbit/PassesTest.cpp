// The pass search against a second-by-second scan of the same model: homes in
// both hemispheres and far north, elements hours to a year old and from the
// future, passes under way at the start and passes that barely reach the
// minimum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "messages/SatelliteTable.h"
#include "orbit/Passes.h"
#include "orbit/Predict.h"
#include "support/PassScan.h"

namespace {

constexpr int64_t kStart = 1796637600;  // 2026-12-07 10:00:00 UTC
constexpr int64_t kDay = 86400;

struct Home
{
    const char* pszName;
    double dLat;
    double dLon;
};

const Home kHomes[] = {
    {"Cork", 51.9, -8.5},
    {"Tromso", 69.65, 18.96},
    {"Hobart", -42.88, 147.33},
    {"McMurdo", -77.85, 166.67},
};

// NOAA-15, NOAA-18, Metop-A and NOAA-19 with crossings an hour, three days
// and a year before the start, and one two hours after it.
CSatelliteTable MakeTable()
{
    CSatelliteTable table;
    auto set = [&](int code, int64_t eqx, double eql, double per, double inc) {
        table.m_nEqx[code] = static_cast<int32_t>(eqx);
        table.m_dEql[code] = eql;
        table.m_dPer[code] = per;
        table.m_dInc[code] = inc;
    };
    set(5, kStart - 3600, 233.4, 6081.2, 98.62);
    set(8, kStart - 3 * kDay - 1234, 17.9, 6122.5, 99.05);
    set(10, kStart - 365 * kDay, 301.25, 6084.0, 98.7);
    set(12, kStart + 7200, 150.5, 6119.9, 98.8);
    return table;
}

std::string Describe(const SatellitePass& p)
{
    return "code " + std::to_string(p.nCode) + " AOS " + std::to_string(p.nAos) + " TCA " +
           std::to_string(p.nTca) + " LOS " + std::to_string(p.nLos) + " max " +
           std::to_string(p.dMaxElevation);
}

void ExpectSamePasses(const std::vector<SatellitePass>& expected, const std::vector<SatellitePass>& found,
                      const std::string& where)
{
    ASSERT_EQ(expected.size(), found.size()) << where;
    for (size_t i = 0; i < expected.size(); ++i) {
        const SatellitePass& e = expected[i];
        const SatellitePass& f = found[i];
        EXPECT_EQ(e.nAos, f.nAos) << where << ": " << Describe(e);
        EXPECT_EQ(e.nTca, f.nTca) << where << ": " << Describe(e);
        EXPECT_EQ(e.nLos, f.nLos) << where << ": " << Describe(e);
        // The same functions at the same seconds: the same doubles.
        EXPECT_EQ(e.dMaxElevation, f.dMaxElevation) << where << ": " << Describe(e);
        EXPECT_EQ(e.dAosAzimuth, f.dAosAzimuth) << where << ": " << Describe(e);
        EXPECT_EQ(e.dLosAzimuth, f.dLosAzimuth) << where << ": " << Describe(e);
    }
}

TEST(Passes, AgreeWithASecondBySecondScanForEveryHomeAndElementAge)
{
    const CSatelliteTable table = MakeTable();
    int total = 0;
    for (const Home& home : kHomes) {
        for (int code : {5, 8, 10, 12}) {
            // Every entry from the horizon up; one at 1 and 10 degrees too.
            for (double minimum :
                 code == 12 ? std::vector<double>{0.0, 1.0, 10.0} : std::vector<double>{0.0}) {
                const std::vector<SatellitePass> scanned =
                    testsupport::ScanPasses(table, code, home.dLat, home.dLon, kStart, kDay, minimum);
                const std::vector<SatellitePass> found =
                    FindSatellitePasses(table, code, home.dLat, home.dLon, kStart, kDay, minimum);
                ExpectSamePasses(scanned, found,
                                 std::string(home.pszName) + " code " + std::to_string(code) + " minimum " +
                                     std::to_string(minimum));
                if (minimum == 0.0)
                    total += static_cast<int>(scanned.size());
            }
        }
    }
    // Sun-synchronous satellites pass four to six times a day at mid
    // latitudes and at almost every orbit near the poles.
    EXPECT_GT(total, 4 * 4 * 4);
}

TEST(Passes, APassUnderWayAtTheStartKeepsItsRealAos)
{
    const CSatelliteTable table = MakeTable();
    const Home& home = kHomes[0];
    const std::vector<SatellitePass> scanned =
        testsupport::ScanPasses(table, 8, home.dLat, home.dLon, kStart, kDay, 0.0);
    ASSERT_FALSE(scanned.empty());
    const SatellitePass& pass = scanned[scanned.size() / 2];
    for (int64_t start : {pass.nAos + 1, pass.nTca, pass.nLos}) {
        const std::vector<SatellitePass> found =
            FindSatellitePasses(table, 8, home.dLat, home.dLon, start, 3600, 0.0);
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(pass.nAos, found[0].nAos) << "start " << start;
        EXPECT_EQ(pass.nTca, found[0].nTca);
        EXPECT_EQ(pass.nLos, found[0].nLos);
    }
    // Ended a second before the start: not listed. Beginning at the end of
    // the span: not listed; a second earlier: listed.
    std::vector<SatellitePass> after =
        FindSatellitePasses(table, 8, home.dLat, home.dLon, pass.nLos + 1, 60, 0.0);
    EXPECT_TRUE(after.empty());
    after = FindSatellitePasses(table, 8, home.dLat, home.dLon, pass.nAos - 600, 600, 0.0);
    EXPECT_TRUE(after.empty());
    after = FindSatellitePasses(table, 8, home.dLat, home.dLon, pass.nAos - 600, 601, 0.0);
    ASSERT_EQ(1u, after.size());
    EXPECT_EQ(pass.nAos, after[0].nAos);
}

TEST(Passes, NoPassIsMissedThatJustReachesTheMinimum)
{
    const CSatelliteTable table = MakeTable();
    for (const Home& home : {kHomes[1], kHomes[2]}) {
        for (int code : {5, 10}) {
            const std::vector<SatellitePass> all =
                testsupport::ScanPasses(table, code, home.dLat, home.dLon, kStart, kDay, 0.0);
            // Minimums a hair under the top of each pass: it is up for a
            // second or a few, and must still be found.
            for (const SatellitePass& pass : all) {
                for (double below : {0.0, 1e-4, 0.01}) {
                    const double minimum = pass.dMaxElevation - below;
                    const int64_t from = pass.nTca - 1800;
                    const std::vector<SatellitePass> scanned =
                        testsupport::ScanPasses(table, code, home.dLat, home.dLon, from, 3600, minimum);
                    const std::vector<SatellitePass> found =
                        FindSatellitePasses(table, code, home.dLat, home.dLon, from, 3600, minimum);
                    ExpectSamePasses(scanned, found,
                                     std::string(home.pszName) + " minimum " + std::to_string(minimum));
                    const bool bThere = std::any_of(found.begin(), found.end(), [&](const SatellitePass& p) {
                        return p.nTca == pass.nTca && p.nAos <= p.nTca && p.nTca <= p.nLos;
                    });
                    EXPECT_TRUE(bThere) << Describe(pass) << " with minimum " << minimum;
                }
            }
        }
    }
}

TEST(Passes, AllSatellitesSortedByAosAndOnlyPredictableEntries)
{
    CSatelliteTable table = MakeTable();
    table.m_nEqx[9] = static_cast<int32_t>(kStart);
    table.m_dEql[9] = 10.0;
    table.m_dPer[9] = 0.0;  // an edited entry the prediction skips
    table.m_dInc[9] = 98.7;

    const Home& home = kHomes[0];
    const std::vector<SatellitePass> all = FindPasses(table, home.dLat, home.dLon, kStart, kDay, 0.0);
    std::vector<SatellitePass> expected;
    for (int code : {5, 8, 10, 12}) {
        const std::vector<SatellitePass> one =
            testsupport::ScanPasses(table, code, home.dLat, home.dLon, kStart, kDay, 0.0);
        expected.insert(expected.end(), one.begin(), one.end());
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const SatellitePass& a, const SatellitePass& b) { return a.nAos < b.nAos; });
    ExpectSamePasses(expected, all, "all");
    EXPECT_TRUE(std::none_of(all.begin(), all.end(), [](const SatellitePass& p) { return p.nCode == 9; }));
    EXPECT_TRUE(FindPasses(table, home.dLat, home.dLon, kStart, 0, 0.0).empty());
}

TEST(Passes, AnOverheadPassPeaksAtNinetyDegrees)
{
    // Home under the ascending crossing a quarter of an hour after it: the
    // satellite is straight overhead near the crossing itself.
    CSatelliteTable table;
    table.m_nEqx[8] = static_cast<int32_t>(kStart + 900);
    table.m_dEql[8] = 40.0;
    table.m_dPer[8] = 6100.0;
    table.m_dInc[8] = 98.7;
    const std::vector<SatellitePass> scanned =
        testsupport::ScanPasses(table, 8, 0.0, 40.0, kStart, 3600, 0.0);
    const std::vector<SatellitePass> found = FindSatellitePasses(table, 8, 0.0, 40.0, kStart, 3600, 0.0);
    ExpectSamePasses(scanned, found, "overhead");
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(kStart + 900, found[0].nTca);
    EXPECT_GT(found[0].dMaxElevation, 89.9);
}

}  // namespace
