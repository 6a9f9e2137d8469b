// The daily log as an output writes what the message store writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "output/LogOutput.h"
#include "platform/Clock.h"
#include "support/BrokerTestDaemon.h"

TEST(LogOutput, WritesTheStoresLinesToTheSameFilesAndCountsWhatItCannot)
{
    char tmpl[] = "/tmp/halvex-logout-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string root = tmpl;

    // The store writes its own log; the output gets the records.
    CSatelliteTable table;
    CManualClock clock(1241222399);  // 2009-05-01 23:59:59 UTC
    CMessageStore store(table, clock);
    store.m_strLogDirectory = root + "/store/";
    CLogOutput output(root + "/output");  // no trailing separator
    store.m_onRecord = [&](const MessageRecord& r) { output.Write(r); };
    const uint8_t bulletin[] = {0x00, 0x00, 0x0E, 0x10, 0x00, 0x20, 0x09, 0x12,
                                0x11, 0x40, 0x31, 0x32, 0x50, 0x0D, 0x8C};
    FrameVerdict ok;
    ok.bMatched = true;
    store.OnFrame(bulletin, sizeof bulletin, ok);
    clock.Set(1241222400);  // midnight: the next day's file
    FrameVerdict bad;
    bad.bMatched = false;
    bad.wComputed = 0x1234;
    store.m_bRequireCrc = 0;
    store.OnFrame(bulletin, sizeof bulletin, bad);
    EXPECT_TRUE(output.Finish());

    for (const char* day : {"halvex3log20090501.txt", "halvex3log20090502.txt"}) {
        SCOPED_TRACE(day);
        const std::string expected = ReadWholeFile(root + "/store/" + day);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(ReadWholeFile(root + "/output/" + day), expected);
    }

    // A folder that cannot be made: the lines are counted and said once.
    std::string said;
    CLogOutput lost(root + "/store/halvex3log20090501.txt/sub");
    lost.onReport = [&](const std::string& text) { said += text; };
    MessageRecord r;
    r.nTime = 1241222399;
    r.strLine = "line";
    r.strExpansion = "expansion";
    lost.Write(r);
    EXPECT_EQ(lost.UnloggedLines(), 2u);
    EXPECT_FALSE(lost.Finish());
    EXPECT_EQ(said, "2 lines could not be written to the log files in " + root +
                        "/store/halvex3log20090501.txt/sub");
    std::filesystem::remove_all(root);
}
