// Message lines, the ring of 60, the daily log files and the per-frame rules.
#include <gtest/gtest.h>

#include <unistd.h>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "decoder/FrameCheck.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"

namespace fs = std::filesystem;

namespace {

int64_t Utc(int y, int mo, int d, int h, int mi, int s)
{
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return static_cast<int64_t>(timegm(&t));
}

FrameVerdict Check(const std::vector<uint8_t>& frame)
{
    CFrameCheck check;
    return check.CheckFrame(frame.data(), static_cast<int>(frame.size()));
}

// A store with a private log directory and recorders on both hooks.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store.m_strLogDirectory = (m_dir / "logs").string() + "/";
        m_store.m_onRedraw = [this] { ++m_nRedraws; };
        m_store.m_onLogLine = [this](const std::string& line, bool written) {
            m_logged.push_back(line);
            m_written.push_back(written);
        };
    }

    void Feed(const std::vector<uint8_t>& frame, const FrameVerdict& verdict)
    {
        m_store.OnFrame(frame.data(), static_cast<int>(frame.size()), verdict);
    }
    void Feed(const std::vector<uint8_t>& frame) { Feed(frame, Check(frame)); }

    CTempDir m_tmp{"msg"};
    fs::path m_dir = m_tmp.Path();
    CManualClock m_clock{Utc(2009, 5, 1, 14, 3, 27)};
    CSatelliteTable m_table;
    CMessageStore m_store{m_table, m_clock};
    int m_nRedraws = 0;
    std::vector<std::string> m_logged;
    std::vector<bool> m_written;
};

}  // namespace

TEST(MessageLine, TheThreeWorkedExamples)
{
    const int64_t now = Utc(2009, 5, 1, 14, 3, 27);
    const std::vector<uint8_t> good = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x15, 0xE7};
    const std::vector<uint8_t> bad = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x12, 0x34};
    const std::vector<uint8_t> shortest = {0x01, 0x23, 0x45, 0x7C, 0xE4};
    EXPECT_EQ(CMessageStore::FormatMessageLine(good.data(), 9, Check(good), now),
              "0123456 789 ABCD [15E7] 2009-05-01 14:03:27");
    const FrameVerdict badVerdict = Check(bad);
    ASSERT_FALSE(badVerdict.bMatched);
    EXPECT_EQ(badVerdict.wComputed, 0x15E7);
    EXPECT_EQ(CMessageStore::FormatMessageLine(bad.data(), 9, badVerdict, now),
              "0123456 789 ABCD [1234 calc CRC 15E7] 2009-05-01 14:03:27");
    EXPECT_EQ(CMessageStore::FormatMessageLine(shortest.data(), 5, Check(shortest), now),
              "0123457 CE4  [7CE4] 2009-05-01 14:03:27");
}

TEST(MessageLine, GroupsForEveryFrameLength)
{
    // From 7 bytes on every digit appears exactly once, so removing the
    // separators gives the frame back; 46 bytes is the longest frame.
    for (int n = 7; n <= 46; ++n) {
        std::vector<uint8_t> frame(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            frame[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 37 + n);
        FrameVerdict matched;
        matched.bMatched = true;
        const std::string line = CMessageStore::FormatMessageLine(frame.data(), n, matched, 0);
        std::string hex;
        for (uint8_t b : frame) {
            char d[3];
            std::snprintf(d, sizeof d, "%02X", b);
            hex += d;
        }
        const size_t mid = static_cast<size_t>(2 * n - 14);
        const std::string expected = hex.substr(0, 7) + " " + hex.substr(7, 3) + " " + hex.substr(10, mid) +
                                     " [" + hex.substr(hex.size() - 4) + "] 1970-01-01 00:00:00";
        EXPECT_EQ(line, expected) << n;
        EXPECT_EQ(line[12 + 2 * n - 14], ' ') << "character 12 + i is digit i + 10";
    }
    // Six bytes: the middle group is empty and check digits show twice.
    const std::vector<uint8_t> six = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(CMessageStore::FormatMessageLine(six.data(), 6, Check(six), 0).substr(0, 20),
              "AABBCCD DEE  [EEFF c");
}

TEST(MessageLine, TimesPast2038StayRight)
{
    const std::vector<uint8_t> frame = BuildFrameFromHex("0123456789ABCD");
    EXPECT_EQ(CMessageStore::FormatMessageLine(frame.data(), 9, Check(frame), Utc(2040, 2, 29, 23, 59, 59)),
              "0123456 789 ABCD [15E7] 2040-02-29 23:59:59");
}

TEST_F(StoreTest, RingWrapsAtSixtyAndStartClearsIt)
{
    m_store.m_bExpandMsgs = 0;
    for (int i = 0; i < 61; ++i) {
        Feed(BuildFrameFromHex("1122334455" + std::string(1, "0123456789ABCDEF"[i % 16])));
        m_clock.Advance(1);
    }
    EXPECT_EQ(m_store.m_nMessageIndex, 1);
    EXPECT_EQ(m_nRedraws, 61);
    EXPECT_EQ(m_store.m_strMessages[0], m_logged.back()) << "the 61st line overwrote slot 0";
    EXPECT_EQ(m_store.m_strMessages[1], m_logged[1]);
    EXPECT_EQ(m_store.m_strMessages[59], m_logged[59]);

    m_store.ClearForStart();
    EXPECT_EQ(m_store.m_nMessageIndex, 0);
    for (const std::string& slot : m_store.m_strMessages)
        EXPECT_TRUE(slot.empty());
}

TEST_F(StoreTest, VerdictDecidesWhatBecomesOfAFrame)
{
    const std::vector<uint8_t> bulletin = BuildOrbitBulletin(BulletinFields());
    std::vector<uint8_t> broken = bulletin;
    broken.back() ^= 0x01;

    // Require CRC on: a failed frame leaves no trace at all.
    Feed(broken);
    EXPECT_EQ(m_store.m_nMessageIndex, 0);
    EXPECT_TRUE(m_logged.empty());
    EXPECT_EQ(m_nRedraws, 0);
    EXPECT_FALSE(fs::exists(m_dir / "logs"));

    // Off: shown with the computed value, never interpreted.
    m_store.m_bRequireCrc = 0;
    Feed(broken);
    ASSERT_EQ(m_logged.size(), 1u);
    EXPECT_NE(m_logged[0].find(" calc CRC "), std::string::npos);
    EXPECT_EQ(m_store.m_nMessageIndex, 1);
    EXPECT_EQ(m_nRedraws, 1);
    EXPECT_FALSE(m_table.HasElements(8));

    // Matched with Expand on: message line then expansion line in the log,
    // the expansion below its message line in the ring, one redraw.
    Feed(bulletin);
    ASSERT_EQ(m_logged.size(), 3u);
    EXPECT_EQ(m_logged[1].substr(0, 8), "00000BE ");
    EXPECT_EQ(m_logged[2].substr(0, 15), "NOAA-18 Ephem: ");
    EXPECT_EQ(m_store.m_nMessageIndex, 3);
    EXPECT_EQ(m_store.m_strMessages[2], m_logged[1]) << "message line is the newest";
    EXPECT_EQ(m_store.m_strMessages[1], m_logged[2]) << "expansion directly under it";
    EXPECT_EQ(m_nRedraws, 2);
    EXPECT_TRUE(m_table.HasElements(8));
    EXPECT_EQ(ReadFileText(m_store.LogFilePath(m_clock.Now())),
              m_logged[0] + "\n" + m_logged[1] + "\n" + m_logged[2] + "\n");
}

TEST_F(StoreTest, ExpandOffStoresOneLineAndLeavesTheTable)
{
    m_store.m_bExpandMsgs = 0;
    Feed(BuildOrbitBulletin(BulletinFields()));
    EXPECT_EQ(m_logged.size(), 1u);
    EXPECT_EQ(m_store.m_nMessageIndex, 1);
    EXPECT_EQ(m_nRedraws, 1);
    EXPECT_FALSE(m_table.HasElements(8));
}

TEST_F(StoreTest, ExpansionAtIndexZeroWrapsAround)
{
    m_store.m_nMessageIndex = 59;
    Feed(BuildStatusSummary({}));
    EXPECT_EQ(m_store.m_nMessageIndex, 1);
    EXPECT_EQ(m_store.m_strMessages[0].substr(0, 8), "00000C7 ") << "message line moved to slot 0";
    EXPECT_EQ(m_store.m_strMessages[59], "Stats(dwnlnk/mode):");
}

TEST_F(StoreTest, FramesOfNoKnownKindAddNothing)
{
    // A date-time stamp whose day begins with a letter, and an ordinary frame.
    Feed(
        BuildFrameFromHex("00000E1000"
                          "2009"
                          "A60"
                          "123456789"));
    Feed(BuildFrameFromHex("0123456789ABCD"));
    EXPECT_EQ(m_logged.size(), 2u);
    EXPECT_EQ(m_store.m_nMessageIndex, 2);
    EXPECT_EQ(m_nRedraws, 2);
}

TEST_F(StoreTest, OneFilePerUtcDayAppendedNeverTruncated)
{
    m_store.m_bExpandMsgs = 0;
    m_clock.Set(Utc(2009, 5, 1, 23, 59, 59));
    fs::create_directories(m_dir / "logs");
    std::ofstream(m_dir / "logs" / "halvex3log20090501.txt", std::ios::binary) << "earlier\n";
    Feed(BuildFrameFromHex("0123456789ABCD"));
    m_clock.Advance(1);
    Feed(BuildFrameFromHex("0123456789ABCD"));
    EXPECT_EQ(ReadFileText(m_dir / "logs" / "halvex3log20090501.txt"), "earlier\n" + m_logged[0] + "\n");
    EXPECT_EQ(ReadFileText(m_dir / "logs" / "halvex3log20090502.txt"), m_logged[1] + "\n");
    EXPECT_EQ(m_logged[1].substr(m_logged[1].size() - 19), "2009-05-02 00:00:00");
    EXPECT_EQ(m_written, (std::vector<bool>{true, true}));
}

TEST_F(StoreTest, LogKeepsCodePageBytes)
{
    Feed(BuildOrbitBulletin(BulletinFields()));
    const std::string text = ReadFileText(m_store.LogFilePath(m_clock.Now()));
    EXPECT_NE(text.find("dl -25.312\xB0;"), std::string::npos);
    EXPECT_NE(text.find("Inc 98.72340\xB0\n"), std::string::npos);
}

TEST_F(StoreTest, MissingLogDirectoryIsCreated)
{
    m_store.m_strLogDirectory = (m_dir / "a" / "b" / "Log files").string() + "/";
    Feed(BuildFrameFromHex("0123456789ABCD"));
    EXPECT_EQ(ReadFileText(m_dir / "a" / "b" / "Log files" / "halvex3log20090501.txt"), m_logged[0] + "\n");
}

TEST_F(StoreTest, UnwritableLogLosesOnlyTheFileLine)
{
    fs::create_directories(m_dir);
    std::ofstream(m_dir / "plainfile") << "x";
    m_store.m_strLogDirectory = (m_dir / "plainfile" / "logs").string() + "/";
    Feed(BuildOrbitBulletin(BulletinFields()));
    EXPECT_EQ(m_written, (std::vector<bool>{false, false}));
    EXPECT_EQ(m_store.m_nMessageIndex, 2) << "both lines stay in the ring";
    EXPECT_TRUE(m_table.HasElements(8));
    EXPECT_EQ(m_nRedraws, 1);

    // The next line tries again.
    m_store.m_strLogDirectory = (m_dir / "ok").string() + "/";
    EXPECT_TRUE(m_store.AppendLogLine(0));
}

TEST_F(StoreTest, LogFilesOffStillReportsEveryLine)
{
    m_store.m_bWriteLogFiles = false;
    Feed(BuildOrbitBulletin(BulletinFields()));
    EXPECT_EQ(m_logged.size(), 2u);
    EXPECT_EQ(m_written, (std::vector<bool>{false, false}));
    EXPECT_FALSE(fs::exists(m_dir / "logs"));
}

TEST_F(StoreTest, LogNameJoinsTheDirectoryTextAsItStands)
{
    m_store.m_strLogDirectory = "/var/log/halvex";
    EXPECT_EQ(m_store.LogFilePath(Utc(2009, 5, 1, 0, 0, 0)), "/var/log/halvexhalvex3log20090501.txt");
    EXPECT_EQ(m_store.LogFilePath(Utc(2039, 12, 31, 23, 59, 59)), "/var/log/halvexhalvex3log20391231.txt");
}
