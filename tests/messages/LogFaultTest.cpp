// The daily log on a disk that fills up: a line the disk takes only in part
// must not leave a fragment that the next line would be glued to.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"

namespace fs = std::filesystem;

namespace {

class LogFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store.m_strLogDirectory = m_dir.string() + "/";
        m_store.m_onLogLine = [this](const std::string& line, bool written) {
            m_lines.push_back(line);
            m_written.push_back(written);
        };
    }

    void Feed(const std::vector<uint8_t>& frame)
    {
        CFrameCheck check;
        m_store.OnFrame(frame.data(), static_cast<int>(frame.size()),
                        check.CheckFrame(frame.data(), static_cast<int>(frame.size())));
    }

    CTempDir m_tmp{"logfault"};
    fs::path m_dir = m_tmp.Path();
    CManualClock m_clock{1241186607};  // 2009-05-01 14:03:27 UTC
    CSatelliteTable m_table;
    CMessageStore m_store{m_table, m_clock};
    std::vector<std::string> m_lines;
    std::vector<bool> m_written;
};

}  // namespace

TEST_F(LogFaultTest, ALineTheDiskTookOnlyInPartLeavesNoFragment)
{
    Feed(BuildFrameFromHex("0123456789ABCD"));
    const fs::path log = m_dir / "halvex3log20090501.txt";
    const std::string first = ReadFileText(log);
    ASSERT_EQ(first, m_lines[0] + "\n");

    {
        // Room for ten more bytes: the next line is cut in the middle, as on
        // a disk that has just filled up.
        CFileSizeLimit limit(first.size() + 10);
        ASSERT_TRUE(limit.Active());
        Feed(BuildFrameFromHex("FEDCBA98765432"));
    }
    ASSERT_EQ(m_written, (std::vector<bool>{true, false}));
    EXPECT_EQ(m_store.m_strMessages[1], m_lines[1]) << "the ring keeps the line";

    // Room again: the next line starts on a line of its own.
    Feed(BuildFrameFromHex("00112233445566"));
    EXPECT_EQ(ReadFileText(log), m_lines[0] + "\n" + m_lines[2] + "\n");
}
