#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileText.h"
#include "platform/Registry.h"
#include "platform/SettingsPaths.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace reg;

namespace {

class RegistryTest : public ::testing::Test
{
protected:
    std::vector<std::string> DirEntries()
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    CTempDir m_tmp{"reg"};
    std::string m_dir = m_tmp.Path().string();
    std::string m_path = m_dir + "/settings.reg";
};

std::vector<uint8_t> Bytes(size_t n, uint8_t start = 0)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(start + i * 7);
    return v;
}

std::vector<uint8_t> Query(const CRegKey& key, const std::string& name, uint32_t* pType = nullptr)
{
    uint32_t size = 0;
    if (key.QueryValue(name, pType, nullptr, &size) != ERROR_SUCCESS)
        return {0xDE, 0xAD};  // distinguishable from any stored value in these tests
    std::vector<uint8_t> data(size);
    EXPECT_EQ(key.QueryValue(name, pType, data.data(), &size), ERROR_SUCCESS);
    return data;
}

}  // namespace

TEST_F(RegistryTest, CreateReportsWhetherTheKeyExistedAndValuesSurviveAClose)
{
    CRegKey key;
    uint32_t disposition = 0;
    ASSERT_EQ(key.CreateKey(m_path, "SOFTWARE\\Norq\\Halvex3\\", &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    int32_t mode = 3;
    std::vector<uint8_t> eql = Bytes(512, 1);
    ASSERT_EQ(key.SetValue("ViewMode", REG_DWORD, &mode, 4), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue("Eql", REG_DWORD, eql.data(), 512), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue("LogDirectory", REG_SZ, "/a \"b\" \\c/", 11), ERROR_SUCCESS);
    ASSERT_EQ(key.Close(), ERROR_SUCCESS);

    // Without the trailing backslash and in other case it is the same key.
    CRegKey again;
    ASSERT_EQ(again.CreateKey(m_path, "software\\norq\\HALVEX3", &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    uint32_t type = 0;
    std::vector<uint8_t> got = Query(again, "viewmode", &type);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(got, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(Query(again, "Eql", &type), eql);
    EXPECT_EQ(type, REG_DWORD);
    std::vector<uint8_t> dir = Query(again, "LogDirectory", &type);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(dir.begin(), dir.end()), std::string("/a \"b\" \\c/", 11));
}

TEST_F(RegistryTest, WritesTheRegeditLayout)
{
    CRegKey key;
    ASSERT_EQ(key.CreateKey(m_path, "SOFTWARE\\Norq\\Halvex3\\", nullptr), ERROR_SUCCESS);
    int32_t mode = 0x01020304;
    std::vector<uint8_t> eqx = Bytes(256, 5);
    key.SetValue("ViewMode", REG_DWORD, &mode, 4);
    key.SetValue("Eqx", REG_DWORD, eqx.data(), 256);
    key.SetValue("LogDirectory", REG_SZ, "/home/me/\"logs\"\\", 17);
    ASSERT_EQ(key.Close(), ERROR_SUCCESS);

    std::string text = ReadFileText(m_path);
    EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n"
                         "\"ViewMode\"=dword:01020304\n\"Eqx\"=hex(4):05,0c,13,",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\"LogDirectory\"=\"/home/me/\\\"logs\\\"\\\\\"\n"), std::string::npos) << text;

    // Byte lists wrap as regedit does: lines of at most 80 characters, ending
    // in a comma and a backslash, continuations indented by two blanks.
    std::istringstream lines(text);
    std::string line;
    int continuations = 0;
    bool bInList = false;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 80u) << line;
        if (bInList) {
            EXPECT_EQ(line.rfind("  ", 0), 0u) << line;
            EXPECT_NE(line[2], ' ');
            ++continuations;
        }
        bInList = !line.empty() && line.back() == '\\';
        if (bInList) {
            EXPECT_EQ(line[line.size() - 2], ',') << line;
        }
    }
    // 256 bytes at about 25 per line.
    EXPECT_GE(continuations, 9);
    EXPECT_LE(continuations, 11);
}

TEST_F(RegistryTest, ReaderAcceptsBothFormsCrlfCommentsAndKeepsForeignEntries)
{
    WriteFileText(m_path,
                  "; written by hand\r\n"
                  "REGEDIT4\r\n"
                  "\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                  "\"Keep\"=\"me\"\r\n"
                  "@=hex:01,02\r\n"
                  "\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3\\]\r\n"
                  "\"Foreign\"=hex(7):41,00,00\r\n"
                  "\"A\"=dword:0000002a\r\n"
                  "\"B\"=hex(4):2a,00,00,00\r\n"
                  "  \"C\" = hex(4):01,02,\\\r\n"
                  "    03,04,\\\r\n"
                  "\t05\r\n"
                  "\"D\"=dword:ff\r\n"
                  "\"E\"=hex(4):\r\n");
    CRegKey key;
    uint32_t disposition = 0;
    ASSERT_EQ(key.CreateKey(m_path, "SOFTWARE\\Norq\\Halvex3\\", &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(Query(key, "A"), (std::vector<uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(Query(key, "B"), (std::vector<uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(Query(key, "C"), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Query(key, "D"), (std::vector<uint8_t>{255, 0, 0, 0}));
    EXPECT_TRUE(Query(key, "E").empty());
    int32_t v = 7;
    key.SetValue("A", REG_DWORD, &v, 4);
    key.SetValue("New", REG_DWORD, &v, 4);
    ASSERT_EQ(key.Close(), ERROR_SUCCESS);

    CRegFile file;
    ASSERT_EQ(file.Load(m_path, nullptr), CRegFile::LoadResult::Loaded);
    ASSERT_EQ(file.m_sections.size(), 2u);
    EXPECT_EQ(file.m_sections[0].strKey, "HKEY_CURRENT_USER\\Software\\Other");
    ASSERT_EQ(file.m_sections[0].values.size(), 2u);
    EXPECT_EQ(file.m_sections[0].values[0].strName, "Keep");
    EXPECT_EQ(file.m_sections[0].values[1].strName, "");
    EXPECT_EQ(file.m_sections[0].values[1].nType, REG_BINARY);
    const RegSection& ours = file.m_sections[1];
    std::vector<std::string> names;
    for (const RegValue& value : ours.values)
        names.push_back(value.strName);
    EXPECT_EQ(names, (std::vector<std::string>{"Foreign", "A", "B", "C", "D", "E", "New"}));
    EXPECT_EQ(ours.values[0].nType, 7u);
    EXPECT_EQ(ours.values[1].data, (std::vector<uint8_t>{7, 0, 0, 0}));
}

TEST_F(RegistryTest, QueryFailsWhenTheValueDoesNotFitAndCopiesNothing)
{
    {
        CRegKey key;
        ASSERT_EQ(key.CreateKey(m_path, "K", nullptr), ERROR_SUCCESS);
        std::vector<uint8_t> big = Bytes(512);
        key.SetValue("Big", REG_DWORD, big.data(), 512);
    }  // the destructor closes and writes
    CRegKey key;
    ASSERT_EQ(key.OpenKey(m_path, "K\\"), ERROR_SUCCESS);
    uint8_t buf[8];
    std::memset(buf, 0x55, sizeof buf);
    uint32_t size = sizeof buf;
    EXPECT_EQ(key.QueryValue("Big", nullptr, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 512u);
    for (uint8_t b : buf)
        EXPECT_EQ(b, 0x55);
    size = sizeof buf;
    EXPECT_EQ(key.QueryValue("Missing", nullptr, buf, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.SetValue("X", REG_DWORD, buf, 4), ERROR_INVALID_HANDLE);  // read-only open
    CRegKey absent;
    EXPECT_EQ(absent.OpenKey(m_path, "NoSuchKey"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(absent.QueryValue("Big", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, StringsThatAQuotedFormCannotCarryGoAsBytes)
{
    const char withNewline[] = "line1\nline2";
    const uint8_t noNul[] = {'a', 'b'};
    {
        CRegKey key;
        ASSERT_EQ(key.CreateKey(m_path, "K", nullptr), ERROR_SUCCESS);
        key.SetValue("NL", REG_SZ, withNewline, sizeof withNewline);
        key.SetValue("NoNul", REG_SZ, noNul, sizeof noNul);
        key.SetValue("Empty", REG_BINARY, nullptr, 0);
    }
    CRegKey key;
    ASSERT_EQ(key.OpenKey(m_path, "K"), ERROR_SUCCESS);
    uint32_t type = 0;
    std::vector<uint8_t> nl = Query(key, "NL", &type);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(nl.begin(), nl.end()), std::string(withNewline, sizeof withNewline));
    EXPECT_EQ(Query(key, "NoNul", &type), (std::vector<uint8_t>{'a', 'b'}));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_TRUE(Query(key, "Empty", &type).empty());
    EXPECT_EQ(type, REG_BINARY);
}

TEST_F(RegistryTest, WritingIsAtomicAndCreatesParentDirectories)
{
    std::string deep = m_dir + "/a/b/c/settings.reg";
    {
        CRegKey key;
        ASSERT_EQ(key.CreateKey(deep, "K", nullptr), ERROR_SUCCESS);
        int32_t v = 1;
        key.SetValue("V", REG_DWORD, &v, 4);
        EXPECT_EQ(key.Close(), ERROR_SUCCESS);
    }
    EXPECT_TRUE(fs::is_regular_file(deep));
    // No temporary file is left beside it.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(m_dir + "/a/b/c"))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"settings.reg"});

    // Opening and closing without a change does not rewrite the file.
    WriteFileText(m_path, "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"V\"=dword:1\n");
    {
        CRegKey key;
        ASSERT_EQ(key.CreateKey(m_path, "K", nullptr), ERROR_SUCCESS);
    }
    EXPECT_EQ(ReadFileText(m_path), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"V\"=dword:1\n");
}

TEST_F(RegistryTest, CorruptFilesCountAsEmptyAndAreKeptAsBad)
{
    const std::vector<std::string> corrupt = {
        "not a registry file\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\K\n\"V\"=dword:1\n",         // missing bracket
        "REGEDIT4\n\"V\"=dword:1\n",                                  // value outside a key
        "REGEDIT4\n[K]\n\"V\"=dword:123456789\n",                     // nine digits
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=hex(4):01,02,\\\n",  // cut short
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=hex(4):01,02,\\",
        "REGEDIT4\n[K]\n\"V\"=hex(4):01,,02\n",  // empty byte
        "REGEDIT4\n[K]\n\"V\"=hex(4):100\n",     // three digits
        "REGEDIT4\n[K]\n\"V\"=\"unterminated\n",
        "REGEDIT4\n[K]\n\"V\"=\"x\" trailing\n",
        "REGEDIT4\n[K]\n\"V\"=qword:1\n",
        "REGEDIT4\n[K]\n\"V\"\n",
        "REGEDIT4\n[-K]\n",
        std::string("REGEDIT4\n[K]\n\"V\"=\"a\0b\"\n", 22),  // binary
        "\x7f"
        "ELF\x01\x02\x03",
    };
    for (const std::string& text : corrupt) {
        SCOPED_TRACE(text);
        fs::remove(m_path + ".bad");
        WriteFileText(m_path, text);
        CRegKey key;
        uint32_t disposition = 0;
        ASSERT_EQ(key.CreateKey(m_path, "K", &disposition), ERROR_SUCCESS);
        EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
        uint32_t size = 0;
        EXPECT_EQ(key.QueryValue("V", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
        int32_t v = 9;
        key.SetValue("W", REG_DWORD, &v, 4);
        EXPECT_EQ(key.Close(), ERROR_SUCCESS);
        const std::string err = key.Notice();  // for the caller to tell; nothing is printed
        EXPECT_NE(err.find("it is kept as " + m_path + ".bad"), std::string::npos) << err;
        EXPECT_EQ(ReadFileText(m_path + ".bad"), text);
        EXPECT_EQ(ReadFileText(m_path), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"W\"=dword:00000009\n\n");
    }
}

TEST_F(RegistryTest, HugeAndOddFilesNeitherCrashNorHang)
{
    // A long but valid byte list of 4 MB on one line.
    std::string longList = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=hex:";
    for (int i = 0; i < 1400000; ++i)
        longList += "ab,";
    longList += "cd\n";
    WriteFileText(m_path, longList);
    {
        CRegKey key;
        ASSERT_EQ(key.OpenKey(m_path, "K"), ERROR_SUCCESS);
        uint32_t size = 0;
        EXPECT_EQ(key.QueryValue("V", nullptr, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(size, 1400001u);
    }
    // Larger than any settings file: refused without being read whole.
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out << "REGEDIT4\n";
        out.seekp(static_cast<std::streamoff>(kMaxFileBytes) + 10);
        out << "x";
    }
    CRegFile file;
    std::string error;
    EXPECT_EQ(file.Load(m_path, &error), CRegFile::LoadResult::Corrupt);
    EXPECT_FALSE(error.empty());

    // An empty file holds no keys but is no error.
    WriteFileText(m_path, "");
    EXPECT_EQ(file.Load(m_path, nullptr), CRegFile::LoadResult::Loaded);
    EXPECT_TRUE(file.m_sections.empty());

    // A FIFO at the path is not waited on.
    fs::remove(m_path);
    ASSERT_EQ(::mkfifo(m_path.c_str(), 0600), 0);
    EXPECT_EQ(file.Load(m_path, nullptr), CRegFile::LoadResult::Unreadable);
}

TEST_F(RegistryTest, ADirectoryOrUnwritablePlaceIsReportedAndLeftAlone)
{
    fs::create_directory(m_path);
    std::string err;
    {
        CRegKey key;
        EXPECT_EQ(key.CreateKey(m_path, "K", nullptr), ERROR_ACCESS_DENIED);
        EXPECT_FALSE(key.IsOpen());
        err = key.Notice();
    }
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_directory(m_path));

    // A parent that is a file: the key opens, the write fails and says so.
    std::string blocked = m_dir + "/file/settings.reg";
    WriteFileText(m_dir + "/file", "x");
    CRegKey key;
    ASSERT_EQ(key.CreateKey(blocked, "K", nullptr), ERROR_SUCCESS);
    EXPECT_EQ(key.Close(), ERROR_WRITE_FAULT);
    err = key.Notice();
    EXPECT_NE(err.find("not saved"), std::string::npos) << err;
}

TEST_F(RegistryTest, AFileThatCannotBeReadIsNeverOverwritten)
{
    WriteFileText(m_path, "REGEDIT4\n[K]\n\"V\"=dword:1\n");
    ::chmod(m_path.c_str(), 0);
    if (::access(m_path.c_str(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    {
        CRegKey key;
        EXPECT_EQ(key.CreateKey(m_path, "K", nullptr), ERROR_ACCESS_DENIED);
    }
    ::chmod(m_path.c_str(), 0600);
    EXPECT_EQ(ReadFileText(m_path), "REGEDIT4\n[K]\n\"V\"=dword:1\n");
}

TEST(SettingsPaths, FollowTheXdgRules)
{
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const char* oldData = std::getenv("XDG_DATA_HOME");
    std::string savedConfig = oldConfig ? oldConfig : "";
    std::string savedData = oldData ? oldData : "";

    ::setenv("HOME", "/home/tester", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DefaultSettingsPath(), "/home/tester/.config/halvex3/settings.reg");
    EXPECT_EQ(DefaultLogDirectory(), "/home/tester/.local/share/halvex3/Log files/");
    ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(DefaultSettingsPath(), "/cfg/halvex3/settings.reg");
    EXPECT_EQ(DefaultLogDirectory(), "/data/halvex3/Log files/");
    // Relative values are ignored.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(DefaultSettingsPath(), "/home/tester/.config/halvex3/settings.reg");

    EXPECT_EQ(WithTrailingSlash("/x"), "/x/");
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    std::string exeDir = ExecutableDirectory();
    EXPECT_EQ(exeDir.back(), '/');
    EXPECT_TRUE(fs::exists(exeDir + "test_platform"));

    ::setenv("HOME", oldHome.c_str(), 1);
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (oldData)
        ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST_F(RegistryTest, ADamagedFileKeptAsideNeverReplacesOneKeptEarlier)
{
    const std::vector<std::string> damaged = {"REGEDIT4\n[K\n", "REGEDIT4\n\"V\"=dword:1\n",
                                              "REGEDIT4\n[K]\n\"V\"=qword:1\n"};
    for (const std::string& text : damaged) {
        WriteFileText(m_path, text);
        CRegKey key;
        ASSERT_EQ(key.CreateKey(m_path, "K", nullptr), ERROR_SUCCESS);
        EXPECT_EQ(key.Close(), ERROR_SUCCESS);
    }
    EXPECT_EQ(ReadFileText(m_path + ".bad"), damaged[0]);
    EXPECT_EQ(ReadFileText(m_path + ".bad.1"), damaged[1]);
    EXPECT_EQ(ReadFileText(m_path + ".bad.2"), damaged[2]);
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"settings.reg", "settings.reg.bad",
                                                      "settings.reg.bad.1", "settings.reg.bad.2"}));
}

TEST_F(RegistryTest, AFileThatIsPlainlySomethingElseIsToldApartFromADamagedOne)
{
    std::string why;
    const std::string notes = m_dir + "/notes.txt";
    WriteFileText(notes, "Pass at 14:03, good signal\nNOAA 18\n");
    EXPECT_TRUE(IsOtherThanSettingsFile(notes, why));
    EXPECT_EQ(why, notes + " is not a settings file (no REGEDIT4 header)");
    const std::string wav = m_dir + "/pass.wav";
    WriteFileText(
        wav, std::string("RIFF\x24\x77\x01\x00WAVEfmt \x10\x00\x00\x00", 20) + std::string(4000, '\x80'));
    EXPECT_TRUE(IsOtherThanSettingsFile(wav, why));

    // Settings files, damaged or not, and what is not there are not refused.
    for (const std::string& text :
         {std::string(), std::string("\n; comment\r\n  REGEDIT4\r\n[K\n"), std::string("REGEDIT4")}) {
        WriteFileText(m_path, text);
        EXPECT_FALSE(IsOtherThanSettingsFile(m_path, why)) << text;
    }
    EXPECT_FALSE(IsOtherThanSettingsFile(m_dir + "/none.reg", why));
    EXPECT_FALSE(IsOtherThanSettingsFile(m_dir, why)) << "a folder is unreadable, not refused";
}

TEST(RegTextTest, NumbersAreHexDigitsOnly)
{
    std::vector<RegSection> sections;
    for (const char* value : {"dword:-1", "dword:+1", "dword:0x1", "dword: 1", "dword:123456789", "hex:0x1",
                              "hex:-1", "hex:100", "hex(-4):00", "hex(+4):00", "hex():00", "dword:"}) {
        EXPECT_FALSE(ParseRegText(std::string("REGEDIT4\n[K]\n\"V\"=") + value + "\n", sections, nullptr))
            << value;
    }
    ASSERT_TRUE(
        ParseRegText("REGEDIT4\n[K]\n\"V\"=dword:fFfFfFfF\n\"B\"=hex(b):0a, FF ,\n", sections, nullptr));
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].values[0].data, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(sections[0].values[1].nType, 0xBu);
    EXPECT_EQ(sections[0].values[1].data, (std::vector<uint8_t>{0x0A, 0xFF}));
}

TEST(RegTextTest, TheHeaderCheckNeedsAWholeFirstLine)
{
    EXPECT_TRUE(LacksRegHeader("RIFF....WAVE\n", false));
    EXPECT_TRUE(LacksRegHeader("notes", true));
    EXPECT_FALSE(LacksRegHeader("notes", false)) << "a cut line proves nothing";
    EXPECT_FALSE(LacksRegHeader("; a comment\n\nREGEDIT4\n", false));
    EXPECT_TRUE(LacksRegHeader("; a comment\nREGEDIT5\n", false));
    EXPECT_FALSE(LacksRegHeader("", true));
}

TEST(FileTextTest, BackupNamesCountUpPastTakenOnes)
{
    char tmpl[] = "/tmp/halvex-filetext-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string path = std::string(tmpl) + "/s.reg";
    EXPECT_EQ(UnusedBackupPath(path), path + ".bad");
    std::ofstream(path + ".bad") << "x";
    EXPECT_EQ(UnusedBackupPath(path), path + ".bad.1");
    fs::create_directory(path + ".bad.1");
    fs::create_symlink("/nonexistent", path + ".bad.2");  // a dangling link is taken too
    EXPECT_EQ(UnusedBackupPath(path), path + ".bad.3");

    std::string error;
    std::ofstream(path) << "old";
    ASSERT_TRUE(ReplaceFileAtomically(path, "new", UnusedBackupPath(path), error)) << error;
    std::ifstream kept(path + ".bad.3");
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "old");
    fs::remove_all(tmpl);
}
