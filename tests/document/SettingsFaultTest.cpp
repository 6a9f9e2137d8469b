// The settings file under faults the other settings tests do not make: a disk
// that fills up in the middle of the save, a named pipe or a device where the
// file should be, and a folder the program may not write. Whatever happens,
// the file holds either the old settings or the new ones, whole, and the
// program neither stops nor hangs.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "document/Settings.h"
#include "platform/Registry.h"
#include "support/DocTestSupport.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

int CountEntries(const fs::path& dir)
{
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

}  // namespace

TEST_F(DocTest, DiskFullDuringTheSaveKeepsTheOldFileWhole)
{
    {
        auto doc = MakeDoc();
        doc->m_nViewMode = 2;
        doc->m_dHomeLat = 52.5;
    }
    const std::string before = ReadFileText(m_settings);
    ASSERT_GT(before.size(), 2000u);
    const int entries = CountEntries(fs::path(m_settings).parent_path());

    testing::internal::CaptureStderr();
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_nViewMode, 2);
        doc->m_nViewMode = 3;
        doc->m_table.m_dEql[8] = 123.456;
        // The new file would be larger than the room left.
        CFileSizeLimit limit(before.size() / 2);
        ASSERT_TRUE(limit.Active());
        doc.reset();
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not saved"), std::string::npos) << "the user is told: " << err;
    EXPECT_EQ(ReadFileText(m_settings), before) << "never half-written";
    EXPECT_EQ(CountEntries(fs::path(m_settings).parent_path()), entries) << "no temporary file left";

    auto doc = MakeDoc();
    EXPECT_EQ(doc->m_nViewMode, 2) << "the old settings are still there";
    EXPECT_EQ(doc->m_dHomeLat, 52.5);
}

TEST_F(DocTest, ANamedPipeOrADeviceForTheSettingsFileNeitherHangsNorIsReplaced)
{
    fs::create_directories(fs::path(m_settings).parent_path());
    for (const char* kind : {"fifo", "device"}) {
        SCOPED_TRACE(kind);
        fs::remove(m_settings);
        if (std::string(kind) == "fifo")
            ASSERT_EQ(::mkfifo(m_settings.c_str(), 0600), 0);
        else
            fs::create_symlink("/dev/zero", m_settings);
        testing::internal::CaptureStderr();
        {
            auto doc = MakeDoc();  // would block for ever on a pipe opened for reading
            EXPECT_EQ(doc->m_nViewMode, 0);
            doc->m_nViewMode = 1;
        }
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("not saved"), std::string::npos) << err;
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(m_settings))) << "left as it was";
    }
}

TEST_F(DocTest, AFolderThatCannotBeWrittenLeavesTheOldSettings)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    {
        auto doc = MakeDoc();
        doc->m_nViewMode = 2;
    }
    const std::string before = ReadFileText(m_settings);
    const fs::path dir = fs::path(m_settings).parent_path();
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    testing::internal::CaptureStderr();
    {
        auto doc = MakeDoc();
        doc->m_nViewMode = 3;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_NE(err.find("not saved"), std::string::npos) << err;
    EXPECT_EQ(ReadFileText(m_settings), before);
}
