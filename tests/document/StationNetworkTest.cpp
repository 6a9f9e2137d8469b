// The station network settings of the document: stored as REG_SZ MqttUrl and
// Station only once set up, applied by Options > Station network..., and a
// publisher that never holds up the document's thread, also when the broker
// is not there.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "document/CommandIds.h"
#include "document/Settings.h"
#include "messages/MessageOutput.h"
#include "platform/Registry.h"
#include "support/DocTestSupport.h"
#include "support/SilentListener.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

// The stored value's type and bytes; type REG_NONE when absent.
std::pair<uint32_t, std::string> StoredValue(const std::string& file, const std::string& name)
{
    reg::CRegKey key;
    if (key.OpenKey(file, kSettingsKey) != reg::ERROR_SUCCESS)
        return {reg::REG_NONE, {}};
    uint32_t type = reg::REG_NONE;
    uint32_t size = 0;
    if (key.QueryValue(name, &type, nullptr, &size) != reg::ERROR_SUCCESS)
        return {reg::REG_NONE, {}};
    std::string bytes(size, '\0');
    key.QueryValue(name, nullptr, reinterpret_cast<uint8_t*>(bytes.data()), &size);
    return {type, bytes};
}

MessageRecord SomeRecord()
{
    MessageRecord record;
    record.nTime = 1241186607;
    record.frame = {0x00, 0x00, 0x0B, 0xE0, 0x12, 0x34};
    record.bCrcOk = true;
    record.strLine = "00000BE 012 34 [0000] 2009-05-01 14:03:27";
    return record;
}

using Clock = std::chrono::steady_clock;

}  // namespace

TEST_F(DocTest, StationNetworkIsStoredAsStringsOnlyOnceSetUp)
{
    // Never set up: the file holds exactly what it held before.
    {
        auto doc = MakeDoc();
    }
    const std::string before = ReadFileText(m_settings);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.find("MqttUrl"), std::string::npos);
    EXPECT_EQ(before.find("Station"), std::string::npos);
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_strMqttUrl, "");
        EXPECT_FALSE(doc->m_station.IsPublishing());
        EXPECT_FALSE(doc->m_messages.m_onRecord);
        doc->OnCommand(ID_OPTIONS_STATIONNETWORK);  // cancelled
    }
    EXPECT_EQ(ReadFileText(m_settings), before);

    // Set up through the dialog: both values, as strings with their NUL.
    const std::string url = "mqtt://radio@127.0.0.1:" + std::to_string(CSilentListener::ClosedLocalPort());
    m_ui.stationAnswers.push_back({url, "shed-2"});
    {
        auto doc = MakeDoc();
        doc->OnCommand(ID_OPTIONS_STATIONNETWORK);
        ASSERT_EQ(m_ui.stationDialogPresets.size(), 2u);
        EXPECT_EQ(m_ui.stationDialogPresets[1], std::make_pair(std::string(), std::string()));
        EXPECT_EQ(doc->m_strMqttUrl, url);
        EXPECT_EQ(doc->m_strStation, "shed-2");
        EXPECT_TRUE(doc->m_station.IsPublishing());
        EXPECT_TRUE(doc->m_messages.m_onRecord);
        EXPECT_TRUE(m_ui.messages.empty());
    }
    EXPECT_EQ(StoredValue(m_settings, "MqttUrl"), std::make_pair(reg::REG_SZ, url + '\0'));
    EXPECT_EQ(StoredValue(m_settings, "Station"), std::make_pair(reg::REG_SZ, std::string("shed-2\0", 7)));

    // Read back and shown in the dialog; cleared there, the empty values stick.
    m_ui.stationAnswers.push_back({"", ""});
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_strMqttUrl, url);
        EXPECT_EQ(doc->m_strStation, "shed-2");
        EXPECT_FALSE(doc->m_station.IsPublishing());  // nothing starts before it is applied
        doc->OnCommand(ID_OPTIONS_STATIONNETWORK);
        EXPECT_EQ(m_ui.stationDialogPresets.back(), std::make_pair(url, std::string("shed-2")));
        EXPECT_FALSE(doc->m_station.IsPublishing());
        EXPECT_FALSE(doc->m_messages.m_onRecord);
    }
    EXPECT_EQ(StoredValue(m_settings, "MqttUrl"), std::make_pair(reg::REG_SZ, std::string(1, '\0')));
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_strMqttUrl, "");
        EXPECT_TRUE(doc->ApplyStationNetwork());
        EXPECT_FALSE(doc->m_station.IsPublishing());
    }

    // The other values are written as before, in their places.
    StoredSettings s;
    ASSERT_EQ(ReadStoredSettings(m_settings, s), SettingsRead::Loaded);
    EXPECT_EQ(s.strLogDirectory, m_logs);
}

TEST_F(DocTest, StationNetworkValuesOfAnotherTypeOrUnusableAreNotUsed)
{
    WriteFileText(m_settings,
                  "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3]\n"
                  "\"MqttUrl\"=dword:00000001\n\"Station\"=\"a/b\"\n");
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_strMqttUrl, "");
        EXPECT_EQ(doc->m_strStation, "a/b");
        // No URL: the bad name does not matter.
        EXPECT_TRUE(doc->ApplyStationNetwork());
        EXPECT_TRUE(m_ui.messages.empty());

        // A name that cannot stand in a topic is said, and nothing publishes.
        doc->m_strMqttUrl = "mqtt://127.0.0.1:1883";
        EXPECT_FALSE(doc->ApplyStationNetwork());
        ASSERT_EQ(m_ui.messages.size(), 1u);
        EXPECT_EQ(m_ui.messages[0].rfind("Station network: ", 0), 0u) << m_ui.messages[0];
        EXPECT_NE(m_ui.messages[0].find("a/b"), std::string::npos);
        EXPECT_FALSE(doc->m_station.IsPublishing());
        EXPECT_FALSE(doc->m_messages.m_onRecord);

        doc->m_strStation = "";
        doc->m_strMqttUrl = "http://127.0.0.1";
        EXPECT_FALSE(doc->ApplyStationNetwork());
        ASSERT_EQ(m_ui.messages.size(), 2u);
        EXPECT_NE(m_ui.messages[1].find("mqtt://"), std::string::npos) << m_ui.messages[1];
        EXPECT_FALSE(doc->m_station.IsPublishing());
    }
}

TEST_F(DocTest, ABrokerThatNeverAnswersHoldsUpNeitherFramesNorChangesNorTheEnd)
{
    CSilentListener silent;
    ASSERT_TRUE(silent.IsListening());
    auto doc = MakeDoc();
    doc->m_strMqttUrl = silent.Url();
    doc->m_strStation = "mast";
    ASSERT_TRUE(doc->ApplyStationNetwork());

    // A day's worth of frames and more go into the queue at once.
    const auto t0 = Clock::now();
    for (int i = 0; i < 3000; ++i)
        doc->m_messages.m_onRecord(SomeRecord());
    EXPECT_EQ(doc->m_station.Pending(), 3000u);
    EXPECT_NE(doc->m_station.GetState(), CStationNetwork::State::Connected);
    EXPECT_NE(doc->m_station.StatusText().find("3000 waiting"), std::string::npos)
        << doc->m_station.StatusText();

    // Another broker, then none, then the document closes: the publishers
    // that still hold frames finish on their own threads (each would wait
    // ten seconds for acknowledgements that never come).
    doc->m_strMqttUrl = "mqtt://127.0.0.1:" + std::to_string(CSilentListener::ClosedLocalPort());
    ASSERT_TRUE(doc->ApplyStationNetwork());
    EXPECT_EQ(doc->m_station.Pending(), 0u);
    doc->m_messages.m_onRecord(SomeRecord());
    doc->m_strMqttUrl.clear();
    ASSERT_TRUE(doc->ApplyStationNetwork());
    EXPECT_EQ(doc->m_station.StatusText(), "");
    doc.reset();
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(3));

    // The end of the program waits for them, and no longer than they take.
    WaitForStationNetwork();
    const auto waited = Clock::now() - t0;
    EXPECT_GE(waited, std::chrono::seconds(9));
    EXPECT_LT(waited, std::chrono::seconds(20));
}
