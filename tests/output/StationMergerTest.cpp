// Pooling the reports of many stations: what counts as one frame, when a
// merged frame is complete, and the merged objects and log lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "messages/MessageStore.h"
#include "output/JsonOutput.h"
#include "output/StationMerger.h"
#include "support/BrokerTestDaemon.h"

namespace {

using Clock = CStationMerger::Clock;
using std::chrono::seconds;

StationReport Report(const std::string& hex, int64_t time, const std::string& station)
{
    StationReport r;
    r.strHex = hex;
    r.nTime = time;
    r.bCrcOk = true;
    r.strLine = "line of " + hex;
    r.strStation = station;
    return r;
}

constexpr int64_t kT = 1241186580;  // 2009-05-01 14:03:00 UTC

}  // namespace

TEST(StationMerger, SameBytesWithinTheWindowAreOneFrameNamedInOrderOfArrival)
{
    CStationMerger merger(30);
    const Clock::time_point t0 = Clock::now();
    merger.Add(Report("AA", kT, "south"), t0);
    merger.Add(Report("BB", kT + 2, "south"), t0 + seconds(2));
    merger.Add(Report("AA", kT + 1, "north"), t0 + seconds(3));  // a second off: the same frame
    merger.Add(Report("AA", kT + 5, "south"), t0 + seconds(4));  // heard twice by one station
    merger.Add(Report("AA", kT + 31, "east"), t0 + seconds(5));  // 31 s after the first: another frame
    merger.Add(Report("BB", kT - 28, "west"), t0 + seconds(6));  // 30 s before: still the same

    EXPECT_TRUE(merger.TakeComplete(t0 + seconds(29)).empty());
    std::vector<MergedFrame> done = merger.TakeComplete(t0 + seconds(32));
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].first.strHex, "AA");
    EXPECT_EQ(done[0].first.nTime, kT);  // the first report's time
    EXPECT_EQ(done[0].stations, (std::vector<std::string>{"south", "north"}));
    EXPECT_EQ(done[1].stations, (std::vector<std::string>{"south", "west"}));
    done = merger.TakeAll();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].first.nTime, kT + 31);
    EXPECT_EQ(merger.OpenCount(), 0u);
}

TEST(StationMerger, ReadsWhatDecodeSendsAndRefusesOtherMessages)
{
    MessageRecord record;
    record.nTime = kT + 27;
    record.frame = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x15, 0xE7};
    record.bCrcOk = true;
    record.strLine = "0123456 789 ABCD [15E7] 2009-05-01 14:03:27";
    record.strExpansion = "dl -25.3\xB0";
    StationReport r;
    std::string why;
    ASSERT_TRUE(ParseStationReport("halvex/roof/frames", MessageRecordToJson(record, ""), r, why)) << why;
    EXPECT_EQ(r.strStation, "roof");  // from the topic when the object names none
    EXPECT_EQ(r.nTime, kT + 27);
    EXPECT_EQ(r.strHex, "0123456789ABCD15E7");
    EXPECT_EQ(r.strExpansion, "dl -25.3\xC2\xB0");
    ASSERT_TRUE(ParseStationReport("halvex/roof/frames", MessageRecordToJson(record, "attic"), r, why));
    EXPECT_EQ(r.strStation, "attic");

    for (const char* bad :
         {"", "[]", "{\"time\":\"2009-05-01T14:03:27Z\",\"hex\":\"ABC\",\"crc_ok\":true,\"line\":\"x\"}",
          "{\"time\":\"yesterday\",\"hex\":\"AB\",\"crc_ok\":true,\"line\":\"x\"}",
          "{\"time\":\"2009-05-01T14:03:27Z\",\"hex\":\"AB\",\"crc_ok\":1,\"line\":\"x\"}",
          "{\"time\":\"2009-05-01T14:03:27Z\",\"hex\":\"AB\",\"crc_ok\":true,\"line\":5}"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseStationReport("halvex/roof/frames", bad, r, why));
    }
}

TEST(StationMerger, MergedObjectAndLogLinesKeepTheFirstReport)
{
    MergedFrame f;
    f.first = Report("0123", kT, "a");
    f.first.strLine = "0123 line";
    f.first.strExpansion = "dl -25.3\xC2\xB0";
    f.stations = {"a", "b"};
    const nlohmann::json j = nlohmann::json::parse(MergedFrameToJson(f));
    EXPECT_EQ(j["time"], "2009-05-01T14:03:00Z");
    EXPECT_EQ(j["stations"], nlohmann::json::array({"a", "b"}));
    EXPECT_EQ(j["expansion"], "dl -25.3\xC2\xB0");

    char tmpl[] = "/tmp/halvex-merge-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = std::string(tmpl) + "/logs/";
    ASSERT_TRUE(AppendMergedFrameToLog(dir, f));
    EXPECT_EQ(ReadWholeFile(DailyLogPath(dir, kT)), "0123 line\ndl -25.3\xB0\n");
    std::filesystem::remove_all(tmpl);
}
