#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "document/CommandIds.h"
#include "document/Settings.h"
#include "platform/Registry.h"
#include "support/DocTestSupport.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

// A plain transcription of the stored byte images, written the way a person
// (or regedit) would: little-endian bytes of each field as hex(4): lists.
std::string HexList(const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    std::string out;
    char buf[8];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, i + 1 < n ? "%02x," : "%02x", b[i]);
        out += buf;
        if (i % 20 == 19 && i + 1 < n)
            out += "\\\r\n  ";
    }
    return out;
}

std::string DwordText(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", v);
    return buf;
}

const char* const kValueNames[] = {"ViewMode", "Eqx", "Soundcardoption", "ExpandMsgs", "Eql",
                                   "Per",      "Inc", "HomeLat",         "HomeLon",    "LogDirectory"};

}  // namespace

TEST_F(DocTest, ASecondRunRestoresTheChosenOptionsButNotRequireCrc)
{
    FakeDeviceList devices;
    devices.names = {"A", "B", "C"};
    {
        auto doc = MakeDoc(&devices);
        doc->OnCommand(ID_VIEW_CHART);
        doc->OnCommand(ID_VIEW_SIGNAL);
        doc->OnCommand(ID_SOURCE_SOUNDCARD2);
        doc->OnCommand(ID_DECODER_EXPANDMESSAGES);
        doc->OnCommand(ID_DECODER_REQUIRECRC);
        m_ui.AnswerHomeDialog("N52 30.5", "W8 36.5");
        doc->OnOptionsHomeLocation();
        doc->m_table.m_nEqx[8] = -5;  // crossings after 2038 are stored as negative
        doc->m_table.m_dEql[8] = 123.456;
        doc->m_table.m_dPer[8] = 6127.38;
        doc->m_table.m_dInc[8] = 98.7234;
        doc->m_table.m_dLastGroundDist[8] = 1234.0;
        m_ui.AnswerFolder(m_dir + "/chosen");
        doc->OnDirectoriesLogFiles();
        doc->OnCloseDocument();
    }
    auto doc = MakeDoc(&devices);
    EXPECT_EQ(doc->m_nViewMode, 0);
    EXPECT_EQ(doc->m_nSoundcardOption, 2);
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 0);
    EXPECT_EQ(doc->m_messages.m_bRequireCrc, 1);
    EXPECT_EQ(doc->m_dHomeLat, 30.5 * 0.016666666666666666 + 52);
    EXPECT_EQ(doc->m_dHomeLon, -(36.5 * 0.016666666666666666 + 8));
    EXPECT_EQ(doc->m_table.m_nEqx[8], -5);
    EXPECT_EQ(doc->m_table.m_dEql[8], 123.456);
    EXPECT_EQ(doc->m_table.m_dPer[8], 6127.38);
    EXPECT_EQ(doc->m_table.m_dInc[8], 98.7234);
    EXPECT_EQ(doc->m_table.m_dLastGroundDist[8], 0.0);
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, m_dir + "/chosen/");
    EXPECT_EQ(doc->m_strBrowseStart, m_dir + "/chosen/");
    // The device scan is not stored: the names come from the devices.
    EXPECT_EQ(doc->m_strDeviceName[2], "B");
    FakeCmdUI card2;
    doc->OnUpdateCommand(ID_SOURCE_SOUNDCARD2, card2);
    EXPECT_EQ(card2.nCheck, 1);
    FakeCmdUI requireCrc;
    doc->OnUpdateCommand(ID_DECODER_REQUIRECRC, requireCrc);
    EXPECT_EQ(requireCrc.nCheck, 1);
}

TEST_F(DocTest, SavedFileHoldsTheValuesInOrderWithTheirTypesAndByteImages)
{
    {
        auto doc = MakeDoc();
        doc->m_nViewMode = 2;
        doc->m_dHomeLat = -33.5;
        doc->m_dHomeLon = 151.25;
        for (int i = 0; i < 64; ++i) {
            doc->m_table.m_nEqx[i] = 1000000 + i;
            doc->m_table.m_dEql[i] = i * 1.5;
            doc->m_table.m_dPer[i] = 6000.0 + i;
            doc->m_table.m_dInc[i] = 98.0 + i / 100.0;
        }
    }
    reg::CRegFile file;
    ASSERT_EQ(file.Load(m_settings, nullptr), reg::CRegFile::LoadResult::Loaded);
    const reg::RegSection* pKey = file.FindSection("HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3");
    ASSERT_NE(pKey, nullptr);
    EXPECT_EQ(pKey->strKey, "HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3");
    std::vector<std::string> names;
    for (const reg::RegValue& v : pKey->values)
        names.push_back(v.strName);
    EXPECT_EQ(names, (std::vector<std::string>{"ViewMode", "Soundcardoption", "ExpandMsgs", "Eqx", "Eql",
                                               "Per", "Inc", "HomeLat", "HomeLon", "LogDirectory"}));
    const size_t sizes[] = {4, 4, 4, 256, 512, 512, 512, 8, 8, m_logs.size() + 1};
    for (size_t i = 0; i < pKey->values.size(); ++i) {
        EXPECT_EQ(pKey->values[i].data.size(), sizes[i]) << names[i];
        EXPECT_EQ(pKey->values[i].nType, i + 1 < pKey->values.size() ? reg::REG_DWORD : reg::REG_SZ)
            << names[i];
    }
    EXPECT_EQ(pKey->values[0].data, (std::vector<uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(pKey->values[1].data, (std::vector<uint8_t>{4, 0, 0, 0}));
    double lat = -33.5;
    EXPECT_EQ(std::memcmp(pKey->values[7].data.data(), &lat, 8), 0);
    // 1000000 + 1 = 0x000F4241, little-endian, second entry.
    EXPECT_EQ(pKey->values[3].data[4], 0x41);
    EXPECT_EQ(pKey->values[3].data[5], 0x42);
    EXPECT_EQ(pKey->values[3].data[6], 0x0F);
    EXPECT_EQ(pKey->values[3].data[7], 0x00);
    EXPECT_EQ(pKey->values[9].data.back(), 0);

    std::string text = ReadFileText(m_settings);
    EXPECT_NE(text.find("\"ViewMode\"=dword:00000002\n"), std::string::npos);
    EXPECT_NE(text.find("\"Eqx\"=hex(4):40,42,0f,00,41,42,0f,00,"), std::string::npos);
    EXPECT_NE(text.find("\"LogDirectory\"=\"" + m_logs + "\"\n"), std::string::npos);
}

TEST_F(DocTest, AHandWrittenFileLoadsExactly)
{
    int32_t eqx[64] = {};
    double eql[64] = {}, per[64] = {}, inc[64] = {};
    eqx[5] = 1241186607;
    eql[5] = 287.125;
    per[5] = 6081.1;
    inc[5] = 98.62;
    eqx[12] = 1241190000;
    eql[12] = 0.001;
    per[12] = 6122.0;
    inc[12] = 99.1;
    double lat = 52.508333333333333, lon = -8.6083333333333333;
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\r\n";
    text += "\"ViewMode\"=" + DwordText(3) + "\r\n";
    text += "\"Soundcardoption\"=" + DwordText(0) + "\r\n";
    text += "\"ExpandMsgs\"=hex(4):00,00,00,00\r\n";
    text += "\"Eqx\"=hex(4):" + HexList(eqx, sizeof eqx) + "\r\n";
    text += "\"Eql\"=hex(4):" + HexList(eql, sizeof eql) + "\r\n";
    text += "\"Per\"=hex(4):" + HexList(per, sizeof per) + "\r\n";
    text += "\"Inc\"=hex(4):" + HexList(inc, sizeof inc) + "\r\n";
    text += "\"HomeLat\"=hex(4):" + HexList(&lat, 8) + "\r\n";
    text += "\"HomeLon\"=hex(4):" + HexList(&lon, 8) + "\r\n";
    text += "\"LogDirectory\"=\"/var/log/halvex \\\"3\\\"/\"\r\n";
    WriteFileText(m_settings, text);

    DocEnvironment env = Env();
    env.bSaveSettings = false;
    CHalvexDoc doc(env);
    EXPECT_EQ(doc.m_nViewMode, 3);
    EXPECT_EQ(doc.m_nSoundcardOption, 0);
    EXPECT_EQ(doc.m_messages.m_bExpandMsgs, 0);
    EXPECT_EQ(std::memcmp(doc.m_table.m_nEqx, eqx, sizeof eqx), 0);
    EXPECT_EQ(std::memcmp(doc.m_table.m_dEql, eql, sizeof eql), 0);
    EXPECT_EQ(std::memcmp(doc.m_table.m_dPer, per, sizeof per), 0);
    EXPECT_EQ(std::memcmp(doc.m_table.m_dInc, inc, sizeof inc), 0);
    EXPECT_EQ(doc.m_dHomeLat, lat);
    EXPECT_EQ(doc.m_dHomeLon, lon);
    EXPECT_EQ(doc.m_messages.m_strLogDirectory, "/var/log/halvex \"3\"/");
    EXPECT_EQ(doc.m_strBrowseStart, "/var/log/halvex \"3\"/");
    // Loading an existing key does not touch the file.
    EXPECT_EQ(ReadFileText(m_settings), text);
}

TEST_F(DocTest, DeletingTheFileGivesTheDefaultsAndItIsRecreatedAtExit)
{
    {
        auto doc = MakeDoc();
        doc->m_nViewMode = 3;
        doc->m_dHomeLat = 10.0;
    }
    ASSERT_TRUE(fs::exists(m_settings));
    fs::remove(m_settings);
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_nViewMode, 0);
        EXPECT_EQ(doc->m_dHomeLat, 0.0);
        EXPECT_EQ(doc->m_messages.m_strLogDirectory, m_logs);
    }
    StoredSettings s;
    s.nViewMode = 99;
    ASSERT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::Loaded);
    EXPECT_EQ(s.nViewMode, 0);
    EXPECT_EQ(s.nSoundcardOption, 4);
    EXPECT_EQ(s.strLogDirectory, m_logs);
}

TEST_F(DocTest, LoadAndSaveCanBeTurnedOff)
{
    WriteFileText(m_settings,
                  "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n\"ViewMode\"=dword:2\n");
    DocEnvironment env = Env();
    env.bLoadSettings = false;
    env.bSaveSettings = false;
    {
        CHalvexDoc doc(env);
        EXPECT_EQ(doc.m_nViewMode, 0);
        doc.m_nViewMode = 1;
    }
    EXPECT_EQ(ReadFileText(m_settings),
              "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n\"ViewMode\"=dword:2\n");
}

TEST_F(DocTest, StoredValuesThatMakeNoSenseLeaveTheDefaults)
{
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    double eql[64] = {}, per[64] = {}, inc[64] = {};
    int32_t eqx[64] = {};
    eqx[3] = 7;
    eql[3] = 10.0;
    per[3] = 6000.0;
    inc[3] = nan;  // a poisoned entry: reset whole
    eqx[4] = 8;
    eql[4] = inf;
    eqx[6] = 9;
    eql[6] = 20.0;
    per[6] = 6100.0;
    inc[6] = 98.0;  // a good entry: kept
    double badLat = 95.0;
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n";
    text += "\"ViewMode\"=dword:00000007\n";
    text += "\"Soundcardoption\"=dword:00000063\n";  // 99
    text += "\"ExpandMsgs\"=dword:00000002\n";
    text += "\"Eqx\"=hex(4):" + HexList(eqx, sizeof eqx) + "\n";
    text += "\"Eql\"=hex(4):" + HexList(eql, sizeof eql) + "\n";
    text += "\"Per\"=hex(4):" + HexList(per, sizeof per) + "\n";
    text += "\"Inc\"=hex(4):" + HexList(inc, sizeof inc) + "\n";
    text += "\"HomeLat\"=hex(4):" + HexList(&badLat, 8) + "\n";
    text += "\"HomeLon\"=hex(4):" + HexList(&nan, 8) + "\n";
    text += "\"LogDirectory\"=\"\"\n";
    WriteFileText(m_settings, text);

    auto doc = MakeDoc();
    EXPECT_EQ(doc->m_nViewMode, 0);
    EXPECT_EQ(doc->m_nSoundcardOption, 4);
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 1);
    EXPECT_EQ(doc->m_dHomeLat, 0.0);
    EXPECT_EQ(doc->m_dHomeLon, 0.0);
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, m_logs);
    for (int i : {3, 4}) {
        EXPECT_EQ(doc->m_table.m_nEqx[i], 0);
        EXPECT_EQ(doc->m_table.m_dEql[i], 0.0);
        EXPECT_EQ(doc->m_table.m_dPer[i], 0.0);
        EXPECT_EQ(doc->m_table.m_dInc[i], 0.0);
    }
    EXPECT_EQ(doc->m_table.m_nEqx[6], 9);
    EXPECT_EQ(doc->m_table.m_dInc[6], 98.0);
    // Each range ends is accepted.
    doc.reset();
    text =
        "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n"
        "\"ViewMode\"=dword:00000003\n\"Soundcardoption\"=dword:00000000\n"
        "\"ExpandMsgs\"=dword:00000000\n";
    double lat = -90.0, lon = 180.0;
    text += "\"HomeLat\"=hex(4):" + HexList(&lat, 8) + "\n";
    text += "\"HomeLon\"=hex(4):" + HexList(&lon, 8) + "\n";
    WriteFileText(m_settings, text);
    doc = MakeDoc();
    EXPECT_EQ(doc->m_nViewMode, 3);
    EXPECT_EQ(doc->m_nSoundcardOption, 0);
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 0);
    EXPECT_EQ(doc->m_dHomeLat, -90.0);
    EXPECT_EQ(doc->m_dHomeLon, 180.0);
}

TEST_F(DocTest, ValuesOfTheWrongSizeAreIgnoredAndLongPathsRestoredInFull)
{
    std::string longDir = "/" + std::string(300, 'd');  // no final '/': one is added
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n";
    text += "\"ViewMode\"=hex(4):02,00\n";
    text += "\"Soundcardoption\"=hex(4):01,00,00,00,00,00,00,00\n";
    text += "\"Eqx\"=placeholder\n";
    text += "\"Eql\"=hex(4):01\n";
    text += "\"HomeLat\"=dword:00000001\n";
    text += "\"LogDirectory\"=\"" + longDir + "\"\n";
    // The Eqx line above is not a byte list: make it one of 255 bytes.
    std::string eqx255;
    for (int i = 0; i < 255; ++i)
        eqx255 += i ? ",01" : "01";
    size_t at = text.find("\"Eqx\"");
    text.replace(at, text.find('\n', at) - at, "\"Eqx\"=hex(4):" + eqx255);
    WriteFileText(m_settings, text);

    auto doc = MakeDoc();
    EXPECT_EQ(doc->m_nViewMode, 0);
    EXPECT_EQ(doc->m_nSoundcardOption, 4);
    EXPECT_EQ(doc->m_table.m_nEqx[0], 0);
    EXPECT_EQ(doc->m_table.m_dEql[0], 0.0);
    EXPECT_EQ(doc->m_dHomeLat, 0.0);
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, longDir + "/");
    doc.reset();
    auto again = MakeDoc();
    EXPECT_EQ(again->m_messages.m_strLogDirectory, longDir + "/");
}

TEST_F(DocTest, CorruptOrHostileFilesNeverStopTheProgram)
{
    const std::vector<std::string> files = {
        "garbage",
        "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3\n\"ViewMode\"=dword:1\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n\"Eqx\"=hex(4):01,\\\n",
        std::string(1 << 20, 'A'),
        std::string("REGEDIT4\n\0\xff\xfe\x01", 13),
        "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n\"ViewMode\"=dword:1",
    };
    for (const std::string& content : files) {
        SCOPED_TRACE(content.substr(0, 60));
        WriteFileText(m_settings, content);
        fs::remove(m_settings + ".bad");
        testing::internal::CaptureStderr();
        {
            auto doc = MakeDoc();
            bool bValid = content.compare(0, 9, "REGEDIT4\n") == 0 &&
                          content.find("dword:1", 0) != std::string::npos &&
                          content.find('[') != std::string::npos && content.find(']') != std::string::npos;
            EXPECT_EQ(doc->m_nViewMode, bValid ? 1 : 0);
            doc->m_nViewMode = 2;
        }
        std::string err = testing::internal::GetCapturedStderr();
        StoredSettings s;
        EXPECT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::Loaded);
        EXPECT_EQ(s.nViewMode, 2);
        if (fs::exists(m_settings + ".bad")) {
            EXPECT_EQ(ReadFileText(m_settings + ".bad"), content);
            EXPECT_NE(err.find(m_settings), std::string::npos);
        }
    }
}

TEST_F(DocTest, ASettingsPathThatIsADirectoryIsReportedAndTheProgramGoesOn)
{
    fs::create_directories(m_settings);
    testing::internal::CaptureStderr();
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_nViewMode, 0);
        doc->OnCommand(ID_VIEW_CHART);
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not saved"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_directory(m_settings));
}

TEST_F(DocTest, ReadStoredSettingsNeverWrites)
{
    StoredSettings s;
    EXPECT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::NoSettings);
    EXPECT_FALSE(fs::exists(m_settings));
    WriteFileText(m_settings, "REGEDIT4\n[HKEY_CURRENT_USER\\Other]\n");
    EXPECT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::NoSettings);
    WriteFileText(m_settings, "corrupt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::NoSettings);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadFileText(m_settings), "corrupt");
    EXPECT_FALSE(fs::exists(m_settings + ".bad"));
    fs::remove(m_settings);
    fs::create_directories(m_settings);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::Unreadable);
    testing::internal::GetCapturedStderr();

    CSatelliteTable table;
    table.m_dLastGroundDist[1] = 5.0;
    s.dEql[1] = 7.0;
    s.CopyTableTo(table);
    EXPECT_EQ(table.m_dEql[1], 7.0);
    EXPECT_EQ(table.m_dLastGroundDist[1], 5.0);
}

TEST_F(DocTest, ThePassesViewIsStoredAsModeFourAndComesBack)
{
    {
        auto doc = MakeDoc();
        EXPECT_TRUE(doc->OnCommand(ID_VIEW_PASSES));
        EXPECT_EQ(doc->m_nViewMode, 4);
    }
    EXPECT_NE(ReadFileText(m_settings).find("\"ViewMode\"=dword:00000004\n"), std::string::npos);
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_nViewMode, 4);
        doc->m_nViewMode = 3;  // back to one of the first four views: stored as before
    }
    EXPECT_NE(ReadFileText(m_settings).find("\"ViewMode\"=dword:00000003\n"), std::string::npos);
    // One past the passes view is still refused.
    WriteFileText(m_settings,
                  "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n\"ViewMode\"=dword:00000005\n");
    auto doc = MakeDoc();
    EXPECT_EQ(doc->m_nViewMode, 0);
}
