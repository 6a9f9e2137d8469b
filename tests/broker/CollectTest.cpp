// halvex3-collect against a real mosquitto on 127.0.0.1: two stations with
// overlapping recordings give each frame once with both names (and a merged
// daily log), the collector carries on after a broker restart, and it says
// clearly when the broker refuses it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/BrokerTestDaemon.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kBin = HALVEX_BIN_DIR;
const char* const kStart = "2009-05-01T14:03:00Z";

std::vector<json> JsonLines(const std::string& text)
{
    std::vector<json> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(json::parse(l));
    return out;
}

size_t CountLines(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class Collect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (CBrokerTestDaemon::Program().empty())
            GTEST_SKIP() << "mosquitto is not installed (scripts/install-deps.sh installs it)";
    }

    // Raw u8 samples of every frame kind, one frame every two seconds from 1 s.
    std::string RawRecording()
    {
        const ShellRun r =
            RunShell("'" + kBin + "/halvex3-synth' --start " + std::string(kStart) + " --frames demo -o -",
                     m_dir.string());
        EXPECT_EQ(r.nExit, 0) << r.strErr;
        return r.strOut;
    }

    std::unique_ptr<CBackgroundProgram> StartCollector(const std::string& args,
                                                       const std::string& name = "collect")
    {
        return std::make_unique<CBackgroundProgram>("'" + kBin + "/halvex3-collect' " + args, m_dir.string(),
                                                    name);
    }

    static bool Subscribed(const CBackgroundProgram& p, size_t times)
    {
        return p.WaitFor(
            [times](const std::string&, const std::string& err) {
                size_t n = 0;
                for (size_t at = err.find("subscribed to halvex/+/frames"); at != std::string::npos;
                     at = err.find("subscribed to halvex/+/frames", at + 1))
                    ++n;
                return n >= times;
            },
            std::chrono::seconds(10));
    }

    ShellRun Publish(const std::string& url, const std::string& station, const std::string& start,
                     const std::string& rawFile)
    {
        return RunShell("'" + kBin + "/halvex3-decode' --json --start " + start + " --station " + station +
                            " --mqtt " + url + " - < '" + rawFile + "'",
                        m_dir.string());
    }

    CTempDir m_tmp{"collect"};
    const fs::path m_dir = m_tmp.Path();
};

TEST_F(Collect, TwoStationsWithOverlappingRecordingsGiveEachFrameOnceWithBothNames)
{
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    // A window shorter than the default keeps the test short; long enough for
    // the second station to report while the first one's frames are open.
    auto collector = StartCollector("--mqtt " + broker.Url() + " --window 6 --log-dir logs");
    ASSERT_TRUE(Subscribed(*collector, 1)) << collector->Err();

    // North hears the first 14 s of the pass, south from second 8 to the end.
    const std::string raw = RawRecording();
    const size_t second = 48000;
    ASSERT_GT(raw.size(), 22 * second);
    std::ofstream(m_dir / "north.u8", std::ios::binary) << raw.substr(0, 14 * second);
    std::ofstream(m_dir / "south.u8", std::ios::binary) << raw.substr(8 * second);
    const ShellRun north = Publish(broker.Url(), "north", kStart, (m_dir / "north.u8").string());
    ASSERT_EQ(north.nExit, 0) << north.strErr;
    const ShellRun south =
        Publish(broker.Url(), "south", "2009-05-01T14:03:08Z", (m_dir / "south.u8").string());
    ASSERT_EQ(south.nExit, 0) << south.strErr;

    // What the collector should print: north's frames, then the ones only south heard.
    std::vector<json> expected;
    std::map<std::string, std::vector<std::string>> names;
    for (const json& j : JsonLines(north.strOut)) {
        expected.push_back(j);
        names[j["hex"]].push_back("north");
    }
    size_t both = 0;
    for (const json& j : JsonLines(south.strOut)) {
        if (names.count(j["hex"]) == 0)
            expected.push_back(j);
        else
            ++both;
        names[j["hex"]].push_back("south");
    }
    ASSERT_GE(both, 2u);
    ASSERT_GT(expected.size(), JsonLines(north.strOut).size());

    ASSERT_TRUE(collector->WaitFor(
        [&](const std::string& out, const std::string&) { return CountLines(out) >= expected.size(); },
        std::chrono::seconds(20)))
        << collector->Out() << collector->Err();
    EXPECT_EQ(collector->Stop(SIGTERM), 0);
    const std::vector<json> merged = JsonLines(collector->Out());
    ASSERT_EQ(merged.size(), expected.size());
    std::string log;
    for (size_t i = 0; i < merged.size(); ++i) {
        SCOPED_TRACE(i);
        const json& e = expected[i];
        EXPECT_EQ(merged[i]["hex"], e["hex"]);
        EXPECT_EQ(merged[i]["time"], e["time"]);
        EXPECT_EQ(merged[i]["line"], e["line"]);
        EXPECT_EQ(merged[i]["stations"], json(names[e["hex"]]));
        EXPECT_FALSE(merged[i].contains("station"));
        log += e["line"].get<std::string>() + "\n";
        if (e.contains("expansion"))
            log += e["expansion"].get<std::string>() + "\n";
    }
    // The merged log: the lines once each, in code page 1252 like the store's.
    std::string degree = "\xC2\xB0";
    for (size_t at = log.find(degree); at != std::string::npos; at = log.find(degree, at))
        log.replace(at, 2, "\xB0");
    EXPECT_EQ(ReadWholeFile((m_dir / "logs" / "halvex3log20090501.txt").string()), log);
}

TEST_F(Collect, CarriesOnAfterABrokerRestart)
{
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    auto collector = StartCollector("--mqtt " + broker.Url() + " --window 1 --client-id restart-test");
    ASSERT_TRUE(Subscribed(*collector, 1)) << collector->Err();
    ASSERT_TRUE(broker.Restart(why)) << why;
    ASSERT_TRUE(Subscribed(*collector, 2)) << collector->Err() << broker.Log();

    std::ofstream(m_dir / "pass.u8", std::ios::binary) << RawRecording();
    const ShellRun station = Publish(broker.Url(), "east", kStart, (m_dir / "pass.u8").string());
    ASSERT_EQ(station.nExit, 0) << station.strErr;
    const size_t frames = CountLines(station.strOut);
    ASSERT_EQ(frames, 11u);
    ASSERT_TRUE(collector->WaitFor(
        [&](const std::string& out, const std::string&) { return CountLines(out) >= frames; },
        std::chrono::seconds(10)))
        << collector->Out() << collector->Err();
    EXPECT_EQ(collector->Stop(SIGINT), 0);
    const std::vector<json> merged = JsonLines(collector->Out());
    const std::vector<json> sent = JsonLines(station.strOut);
    ASSERT_EQ(merged.size(), sent.size());
    for (size_t i = 0; i < merged.size(); ++i) {
        EXPECT_EQ(merged[i]["hex"], sent[i]["hex"]);
        EXPECT_EQ(merged[i]["stations"], json::array({"east"}));
    }
    EXPECT_NE(collector->Err().find("lost the broker"), std::string::npos) << collector->Err();
}

TEST_F(Collect, UsageErrorsAndARefusalAreSaidClearly)
{
    for (const std::string args :
         {"", "--mqtt http://x", "--mqtt mqtt://", "--mqtt mqtt://h:0", "--mqtt mqtt://u:pw@h",
          "--mqtt mqtt://h --window 0", "--mqtt mqtt://h --mqtt-cafile ca.crt", "--bogus"}) {
        SCOPED_TRACE(args);
        const ShellRun r = RunShell("'" + kBin + "/halvex3-collect' " + args, m_dir.string());
        EXPECT_EQ(r.nExit, 2);
        EXPECT_EQ(CountLines(r.strErr), 1u);
        EXPECT_EQ(r.strErr.rfind("halvex3-collect: ", 0), 0u);
    }
    const ShellRun help = RunShell("'" + kBin + "/halvex3-collect' --help", m_dir.string());
    EXPECT_EQ(help.nExit, 0);
    EXPECT_EQ(help.strOut.rfind("Usage: halvex3-collect --mqtt URL", 0), 0u);

    CBrokerTestDaemon broker;
    std::string why;
    CBrokerTestDaemon::Config config;
    config.bTls = true;
    config.strUser = "pool";
    config.strPassword = "right";
    ASSERT_TRUE(broker.Start(config, why)) << why;
    const ShellRun wrong =
        RunShell("HALVEX_MQTT_PASSWORD=wrong timeout 10 '" + kBin + "/halvex3-collect' --mqtt " +
                     broker.Url() + " --mqtt-cafile '" + broker.CaFile() + "'",
                 m_dir.string());
    EXPECT_EQ(wrong.nExit, 1);
    EXPECT_NE(wrong.strErr.find("refused the connection: not authorised"), std::string::npos) << wrong.strErr;
    const ShellRun untrusted =
        RunShell("HALVEX_MQTT_PASSWORD=right timeout 10 '" + kBin + "/halvex3-collect' --mqtt " +
                     broker.Url() + " --mqtt-cafile '" + broker.OtherCaFile() + "'",
                 m_dir.string());
    EXPECT_EQ(untrusted.nExit, 1);
    EXPECT_NE(untrusted.strErr.find("not trusted"), std::string::npos) << untrusted.strErr;
}

}  // namespace
