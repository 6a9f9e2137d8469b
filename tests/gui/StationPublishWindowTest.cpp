// The desktop program publishing to a real mosquitto on 127.0.0.1 while it
// captures from a recording: every kept frame arrives once, in log order, as
// the JSON object of its message and expansion lines, between a retained
// "online" and the "offline" of a clean end; the status bar shows the
// connection meanwhile.
#include <nlohmann/json.hpp>

#include <wx/statusbr.h>

#include "MainWindowFixture.h"
#include "document/StationNetwork.h"
#include "platform/Cp1252.h"
#include "platform/FileWaveIn.h"
#include "support/BrokerTestDaemon.h"
#include "support/TestSubscriber.h"

namespace {

std::vector<std::string> LoggedLines(const std::filesystem::path& dir)
{
    std::vector<std::string> lines;
    if (!std::filesystem::exists(dir))
        return lines;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        for (const std::string& line : ReadLines(entry.path().string()))
            lines.push_back(line);
    return lines;
}

// The log's lines (UTF-8) that the published objects stand for, in order.
std::vector<std::string> PublishedLines(const std::vector<std::string>& payloads, const std::string& station,
                                        std::string& problems)
{
    std::vector<std::string> lines;
    for (const std::string& payload : payloads) {
        const auto object = nlohmann::json::parse(payload, nullptr, false);
        if (object.is_discarded() || !object.contains("line") || !object.contains("hex")) {
            problems += "not a frame object: " + payload + "\n";
            continue;
        }
        if (object.value("station", "") != station)
            problems += "station missing: " + payload + "\n";
        if (!object.value("crc_ok", false))
            problems += "a frame with a bad check value was kept: " + payload + "\n";
        lines.push_back(object["line"].get<std::string>());
        if (object.contains("expansion"))
            lines.push_back(object["expansion"].get<std::string>());
    }
    return lines;
}

}  // namespace

TEST_F(MainWindowTest, PublishesEveryFrameWhileCapturingFromARecording)
{
    if (CBrokerTestDaemon::Program().empty())
        GTEST_SKIP() << "mosquitto is not installed (scripts/install-deps.sh installs it)";
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    CTestSubscriber subscriber;
    ASSERT_TRUE(subscriber.Subscribe(broker.Port(), "halvex/desk/#", why)) << why;

    // The demonstration recording: every kind of frame, one with a bad check
    // value among them. Unpaced: the window's 300 ms poll sets the pace.
    const std::string demo = std::string(HALVEX_BIN_DIR) + "/demo.wav";
    const std::vector<std::string> expected = ReadLines(std::string(HALVEX_BIN_DIR) + "/demo-expected.txt");
    ASSERT_GE(expected.size(), 10u);
    AppOptions options = Options();
    options.strMqttUrl = broker.Url();
    options.strStation = "desk";
    Open(options, std::make_unique<CFileWaveIn>(demo, 0.0));
    Doc().m_dHomeLat = 52.5;
    Doc().m_dHomeLon = -8.5;
    ASSERT_TRUE(
        PumpUntil([&] { return Doc().m_station.GetState() == CStationNetwork::State::Connected; }, 5000))
        << Doc().m_station.StateText();
    Frame()->ShowStationState();
    EXPECT_EQ(std::string(Frame()->GetStatusBar()->GetStatusText(CMainFrame::kStationPane).utf8_str()),
              "MQTT connected");

    Choose(ID_PROCESS_START);
    ASSERT_EQ(Doc().m_bRunning, 1);
    const std::filesystem::path logs = m_dir.Path() / "logs";
    ASSERT_TRUE(PumpUntil([&] { return LoggedLines(logs).size() >= expected.size(); }, 30000))
        << LoggedLines(logs).size() << " of " << expected.size() << " lines logged";
    std::string problems;
    ASSERT_TRUE(PumpUntil(
        [&] {
            std::string ignored;
            return PublishedLines(subscriber.Payloads("halvex/desk/frames"), "desk", ignored).size() >=
                   expected.size();
        },
        10000));
    PumpEvents(500);  // nothing more may come
    const std::vector<std::string> logged = LoggedLines(logs);
    ASSERT_EQ(logged.size(), expected.size());
    std::vector<std::string> loggedUtf8;
    for (const std::string& line : logged)
        loggedUtf8.push_back(Cp1252ToUtf8(line));
    EXPECT_EQ(PublishedLines(subscriber.Payloads("halvex/desk/frames"), "desk", problems), loggedUtf8);
    EXPECT_EQ(problems, "");
    EXPECT_EQ(Doc().m_station.Pending(), 0u);

    // A clean end says so on the status topic.
    Choose(ID_PROCESS_STOP);
    CloseMain();
    WaitForStationNetwork();
    EXPECT_TRUE(subscriber.WaitForCount("halvex/desk/status", 2, std::chrono::seconds(5)));
    EXPECT_EQ(subscriber.Payloads("halvex/desk/status"), (std::vector<std::string>{"online", "offline"}));
}
