// halvex3-decode --mqtt against a real mosquitto on 127.0.0.1: every frame
// arrives once and in order as the --json object, nothing is lost while the
// broker is away in the middle of a paced run, and TLS lets in the right
// password only, with a certificate the station trusts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "network/MqttLink.h"
#include "support/BrokerTestDaemon.h"
#include "support/TestFiles.h"
#include "support/TestSubscriber.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = HALVEX_BIN_DIR;
const char* const kStart = "2009-05-01T14:03:00Z";

class DecodePublish : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (CBrokerTestDaemon::Program().empty())
            GTEST_SKIP() << "mosquitto is not installed (scripts/install-deps.sh installs it)";
    }

    // A recording made by halvex3-synth (a WAV file, or raw u8 samples when
    // the name ends in .u8); "--frames demo" is every frame kind:
    // bulletins, a date-time stamp, status summaries, the shortest and the
    // longest frame.
    std::string Recording(const std::string& name, const std::string& extra = "")
    {
        const std::string path = (m_dir / name).string();
        const bool raw = path.size() > 3 && path.substr(path.size() - 3) == ".u8";
        const ShellRun r = RunShell("'" + kBin + "/halvex3-synth' --start " + kStart + " " + extra +
                                        (raw ? " -o - > '" + path + "'" : " -o '" + path + "'"),
                                    m_dir.string());
        EXPECT_EQ(r.nExit, 0) << r.strErr;
        return path;
    }

    ShellRun Decode(const std::string& args, const std::string& env = "")
    {
        return RunShell(env + " '" + kBin + "/halvex3-decode' --start " + kStart + " " + args,
                        m_dir.string());
    }

    CTempDir m_tmp{"publish"};
    const fs::path m_dir = m_tmp.Path();
};

TEST_F(DecodePublish, EveryFrameArrivesOnceInOrderAsTheJsonObjectWithTheStatusAround)
{
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    CTestSubscriber sub;
    ASSERT_TRUE(sub.Subscribe(broker.Port(), "halvex/#", why)) << why;

    const std::string rec = Recording("every.wav", "--frames demo");
    const ShellRun r = Decode("--json --station north --mqtt " + broker.Url() + " '" + rec + "'");
    ASSERT_EQ(r.nExit, 0) << r.strErr;
    EXPECT_EQ(r.strErr, "");
    const std::vector<std::string> printed = TextLines(r.strOut);
    ASSERT_EQ(printed.size(), 11u);  // six bulletins, a date-time, two status summaries, short, long

    ASSERT_TRUE(sub.WaitForCount("halvex/north/status", 2, std::chrono::seconds(5)));
    // Acknowledged frames are at the broker; give its forwarding a moment.
    sub.WaitForCount("halvex/north/frames", printed.size() + 1, std::chrono::milliseconds(300));
    EXPECT_EQ(sub.Payloads("halvex/north/frames"), printed);
    EXPECT_EQ(sub.Payloads("halvex/north/status"), (std::vector<std::string>{"online", "offline"}));

    // Without --station the JSON has no station, and the topic names the host.
    const ShellRun plain = Decode("--json '" + rec + "'");
    ASSERT_EQ(plain.nExit, 0);
    EXPECT_EQ(plain.strOut.find("\"station\""), std::string::npos);
    const std::string host = DefaultStationName();
    const ShellRun byHost = Decode("--mqtt " + broker.Url() + " '" + rec + "'");
    ASSERT_EQ(byHost.nExit, 0) << byHost.strErr;
    ASSERT_TRUE(sub.WaitForCount(std::string("halvex/") + host + "/frames", 11, std::chrono::seconds(5)));
    EXPECT_NE(
        sub.Payloads(std::string("halvex/") + host + "/frames")[0].find(std::string("\"station\":\"") + host),
        std::string::npos);
}

// Raw samples through standard input at ten times their pace; the broker is
// stopped for two seconds while frames keep coming.
TEST_F(DecodePublish, BrokerAwayInTheMiddleOfAPacedRunLosesNothingAndKeepsTheOrder)
{
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    CTestSubscriber sub("halvex-test-paced");  // a kept session: it gets what came while it was away
    ASSERT_TRUE(sub.Subscribe(broker.Port(), "halvex/+/frames", why)) << why;

    const std::string raw = Recording("paced.u8", "--frames demo --count 2");
    const std::string samples = ReadWholeFile(raw);
    ASSERT_GT(samples.size(), 48000u * 40);
    const std::string out = (m_dir / "paced.out").string();
    const std::string err = (m_dir / "paced.err").string();
    signal(SIGPIPE, SIG_IGN);
    FILE* pipe =
        popen(("'" + kBin + "/halvex3-decode' --start " + kStart + " --json --station paced --mqtt " +
               broker.Url() + " - > '" + out + "' 2> '" + err + "'")
                  .c_str(),
              "we");  // close-on-exec: the restarted broker must not hold the pipe open
    ASSERT_NE(pipe, nullptr);
    const size_t chunk = 4800;  // 0.1 s of samples every 10 ms
    const size_t stopAt = samples.size() / 5;
    const size_t startAt = stopAt + 20 * 10 * chunk;  // two seconds later
    ASSERT_LT(startAt, samples.size() - 10 * 10 * chunk);
    bool stopped = false;
    for (size_t done = 0; done < samples.size(); done += chunk) {
        if (!stopped && done >= stopAt) {
            broker.Stop();
            stopped = true;
        }
        if (stopped && !broker.IsRunning() && done >= startAt) {
            ASSERT_TRUE(broker.Restart(why)) << why;
        }
        const size_t n = std::min(chunk, samples.size() - done);
        ASSERT_EQ(fwrite(samples.data() + done, 1, n, pipe), n);
        fflush(pipe);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadWholeFile(err);
    const std::vector<std::string> printed = TextLines(ReadWholeFile(out));
    ASSERT_EQ(printed.size(), 22u);
    EXPECT_NE(ReadWholeFile(err).find("lost the broker"), std::string::npos) << ReadWholeFile(err);

    ASSERT_TRUE(sub.WaitForCount("halvex/paced/frames", printed.size(), std::chrono::seconds(10)));
    // QoS 1 is "at least once": a frame in flight when the broker went may
    // come twice; each one comes, and in the order printed.
    std::vector<std::string> firsts;
    std::set<std::string> seen;
    for (const std::string& p : sub.Payloads("halvex/paced/frames"))
        if (seen.insert(p).second)
            firsts.push_back(p);
    EXPECT_EQ(firsts, printed);
    EXPECT_LE(sub.Payloads("halvex/paced/frames").size(), printed.size() + 4);
}

// A station stopped as a service is (SIGTERM) while its broker is away: the
// input ends, and the queued frames still reach the broker when it is back.
TEST_F(DecodePublish, StopSignalEndsTheInputAndTheQueuedFramesStillGoOut)
{
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    CTestSubscriber sub("halvex-test-stopped");
    ASSERT_TRUE(sub.Subscribe(broker.Port(), "halvex/+/frames", why)) << why;
    // Two seconds of zero line after the recording, so that every frame is
    // made while the input lasts.
    const std::string samples =
        ReadWholeFile(Recording("stop.u8", "--frames demo")) + std::string(96000, '\x80');
    const std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CBackgroundProgram decode("'" + kBin + "/halvex3-decode' --start " + kStart +
                                  " --json --station svc --mqtt " + broker.Url() + " - < '" + fifo + "'",
                              m_dir.string(), "svc");
    FILE* input = fopen(fifo.c_str(), "we");
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(
        decode.WaitFor([](const std::string&, const std::string&) { return true; }, std::chrono::seconds(1)));
    broker.Stop();
    ASSERT_EQ(fwrite(samples.data(), 1, samples.size(), input), samples.size());
    fflush(input);  // the input stays open, as a sound card's would
    ASSERT_TRUE(
        decode.WaitFor([](const std::string& out, const std::string&) { return TextLines(out).size() >= 11; },
                       std::chrono::seconds(10)))
        << decode.Err();
    ASSERT_TRUE(
        decode.WaitFor([](const std::string&,
                          const std::string& err) { return err.find("trying again") != std::string::npos; },
                       std::chrono::seconds(10)))
        << decode.Err();
    std::thread restart([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        broker.Restart(why);
    });
    EXPECT_EQ(decode.Stop(SIGTERM), 0) << decode.Err();
    restart.join();
    fclose(input);
    const std::vector<std::string> printed = TextLines(decode.Out());
    EXPECT_EQ(printed.size(), 11u);
    ASSERT_TRUE(sub.WaitForCount("halvex/svc/frames", printed.size(), std::chrono::seconds(10)));
    EXPECT_EQ(sub.Payloads("halvex/svc/frames"), printed);
}

TEST_F(DecodePublish, TlsLetsInTheRightPasswordAndATrustedCertificateOnly)
{
    CBrokerTestDaemon broker;
    std::string why;
    CBrokerTestDaemon::Config config;
    config.bTls = true;
    config.strUser = "station";
    config.strPassword = "s3cret pass";
    ASSERT_TRUE(broker.Start(config, why)) << why;
    CTestSubscriber sub;
    ASSERT_TRUE(
        sub.Subscribe(broker.Port(), "halvex/+/frames", why, {broker.CaFile(), "station", "s3cret pass"}))
        << why << broker.Log();
    const std::string rec = Recording("tls.wav", "--frames short,long");
    const std::string ca = " --mqtt-cafile '" + broker.CaFile() + "'";

    const ShellRun right = Decode("--json --station tls --mqtt " + broker.Url() + ca + " '" + rec + "'",
                                  "HALVEX_MQTT_PASSWORD='s3cret pass'");
    EXPECT_EQ(right.nExit, 0) << right.strErr;
    ASSERT_TRUE(sub.WaitForCount("halvex/tls/frames", 2, std::chrono::seconds(5)));
    EXPECT_EQ(sub.Payloads("halvex/tls/frames"), TextLines(right.strOut));

    const ShellRun wrong = Decode("--station tls --mqtt " + broker.Url() + ca + " '" + rec + "'",
                                  "HALVEX_MQTT_PASSWORD='guess'");
    EXPECT_EQ(wrong.nExit, 1);
    EXPECT_NE(wrong.strErr.find("refused the connection: not authorised"), std::string::npos) << wrong.strErr;
    EXPECT_NE(wrong.strErr.find("2 frames could not be delivered"), std::string::npos) << wrong.strErr;
    EXPECT_EQ(TextLines(wrong.strOut).size(), 2u);  // the terminal still gets the lines

    const ShellRun none = Decode("--station tls --mqtt " + broker.Url() + ca + " '" + rec + "'");
    EXPECT_EQ(none.nExit, 1);
    EXPECT_NE(none.strErr.find("refused the connection"), std::string::npos) << none.strErr;

    for (const std::string& trust : {" --mqtt-cafile '" + broker.OtherCaFile() + "'", std::string()}) {
        SCOPED_TRACE(trust.empty() ? "system CA store" : "another CA");
        const ShellRun untrusted = Decode("--station tls --mqtt " + broker.Url() + trust + " '" + rec + "'",
                                          "HALVEX_MQTT_PASSWORD='s3cret pass'");
        EXPECT_EQ(untrusted.nExit, 1);
        EXPECT_NE(untrusted.strErr.find("is not trusted (certificate verify failed)"), std::string::npos)
            << untrusted.strErr;
        EXPECT_EQ(untrusted.strErr.find("s3cret"), std::string::npos);
    }
    EXPECT_EQ(sub.Payloads("halvex/tls/frames").size(), 2u);  // nothing from the refused runs
}

}  // namespace
