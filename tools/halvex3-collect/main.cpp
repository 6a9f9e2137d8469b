// halvex3-collect: pools the frames that many stations publish to one MQTT
// broker and prints each distinct frame once, with the stations that heard it.
#include <mosquitto.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "HalvexVersion.h"
#include "network/MqttLink.h"
#include "output/StationMerger.h"

namespace {

constexpr const char* kProgram = "halvex3-collect";
constexpr const char* kTopic = "halvex/+/frames";

const char kUsage[] =
    "Usage: halvex3-collect --mqtt URL [OPTIONS]\n"
    "Subscribes to the frames that halvex3-decode and halvex3 stations publish to\n"
    "an MQTT broker (halvex/+/frames) and prints one JSON object per distinct\n"
    "frame (JSON Lines, UTF-8): the first station's time, hex, crc_ok, line and\n"
    "expansion, and \"stations\", the names of the stations that heard it in order\n"
    "of arrival. Reports of the same bytes whose times are at most the window\n"
    "apart are one frame; a frame is printed when the window has passed since its\n"
    "first report arrived, in that order. Runs until it is stopped (SIGINT or\n"
    "SIGTERM), then prints the frames still open.\n"
    "\n"
    "  --mqtt URL           the broker, mqtt://[USER@]HOST[:PORT] or\n"
    "                       mqtts://[USER@]HOST[:PORT] (TLS); the password is\n"
    "                       taken from the environment variable HALVEX_MQTT_PASSWORD\n"
    "  --mqtt-cafile FILE   trust the broker certificates signed by the CA in\n"
    "                       FILE instead of the system's CA store\n"
    "  --log-dir DIR        also append the merged frames' message and expansion\n"
    "                       lines to the daily log files in DIR\n"
    "  --window SECONDS     how far apart reports of one frame may be (default 30)\n"
    "  --client-id ID       the broker keeps this client's session while it is away\n"
    "                       (default halvex3-collect-HOSTNAME)\n"
    "  -h, --help           show this help\n"
    "  --version            show the version\n"
    "\n"
    "Exit status: 0 stopped, 1 the broker refused the connection or the output or\n"
    "a log file cannot be written, 2 usage error.\n";

std::atomic<bool> g_bStop{false};

void OnStopSignal(int)
{
    g_bStop = true;
}

struct CommandLine
{
    MqttSettings mqtt;
    std::string strLogDirectory;
    std::string strClientId;
    int64_t nWindow = 30;
};

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, reason.c_str());
    return 2;
}

// 0: parsed; -1: done (help or version shown); otherwise the exit status.
int ParseCommandLine(int argc, char** argv, CommandLine& cl)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        const bool takesValue = arg == "--mqtt" || arg == "--mqtt-cafile" || arg == "--log-dir" ||
                                arg == "--window" || arg == "--client-id";
        if (hasValue && !takesValue)
            return UsageError("option " + arg + " takes no value");
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", kProgram, HALVEX_VERSION);
            return -1;
        }
        if (!takesValue)
            return UsageError(arg.rfind('-', 0) == 0 ? "unknown option '" + arg + "'"
                                                     : "unexpected argument '" + arg + "'");
        if (!hasValue) {
            if (i + 1 >= argc)
                return UsageError(arg + " needs a value");
            value = argv[++i];
        }
        if (value.empty())
            return UsageError(arg + " needs a value");
        if (arg == "--mqtt") {
            MqttUrl url;
            std::string why;
            if (!ParseMqttUrl(value, url, why))
                return UsageError(why);
            cl.mqtt.strUrl = value;
        } else if (arg == "--mqtt-cafile") {
            cl.mqtt.strCaFile = value;
        } else if (arg == "--log-dir") {
            cl.strLogDirectory = value.back() == '/' ? value : value + "/";
        } else if (arg == "--window") {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || errno != 0 || n < 1 || n > 3600)
                return UsageError("bad window '" + value + "' (1 to 3600 seconds)");
            cl.nWindow = n;
        } else {
            cl.strClientId = value;
        }
    }
    if (cl.mqtt.strUrl.empty())
        return UsageError("--mqtt URL is needed");
    if (!cl.mqtt.strCaFile.empty() && cl.mqtt.strUrl.rfind("mqtts://", 0) != 0)
        return UsageError("--mqtt-cafile goes with an mqtts:// URL in --mqtt");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    CommandLine cl;
    const int parsed = ParseCommandLine(argc, argv, cl);
    if (parsed == -1)
        return 0;
    if (parsed != 0)
        return parsed;

    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction stop = {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

    const auto report = [](const std::string& text) {
        std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    };
    if (const char* password = std::getenv(kMqttPasswordVariable))
        cl.mqtt.strPassword = password;
    cl.mqtt.onReport = report;

    std::mutex mutex;
    CStationMerger merger(cl.nWindow);
    CMqttLink::Options options;
    // A fixed client id with a kept session: the broker holds the frames that
    // come while this program or the broker restarts.
    options.strClientId = cl.strClientId.empty() ? "halvex3-collect-" + DefaultStationName() : cl.strClientId;
    options.bCleanSession = false;
    CMqttLink::Hooks hooks;
    hooks.onConnected = [](mosquitto* mosq) { mosquitto_subscribe(mosq, nullptr, kTopic, 1); };
    hooks.onSubscribed = [&] { report(std::string("subscribed to ") + kTopic); };
    hooks.onMessage = [&](const std::string& topic, const std::string& payload) {
        StationReport r;
        std::string why;
        if (!ParseStationReport(topic, payload, r, why)) {
            report("ignored a message on " + topic + ": " + why);
            return;
        }
        std::lock_guard<std::mutex> lock(mutex);
        merger.Add(r, CStationMerger::Clock::now());
    };
    CMqttLink link(cl.mqtt, options, hooks);
    std::string why;
    if (!link.Start(why)) {
        report(why);
        return 1;
    }

    uint64_t unlogged = 0;
    const auto print = [&](const std::vector<MergedFrame>& frames) {
        for (const MergedFrame& f : frames) {
            const std::string line = MergedFrameToJson(f) + "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
            if (!cl.strLogDirectory.empty() && !AppendMergedFrameToLog(cl.strLogDirectory, f))
                ++unlogged;
        }
        std::fflush(stdout);
    };
    bool refused = false;
    while (!g_bStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::vector<MergedFrame> done;
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = merger.TakeComplete(CStationMerger::Clock::now());
        }
        print(done);
        // A refusal (password, certificate) does not mend itself; it has been said.
        if (link.GetState() == CMqttLink::State::Refused) {
            refused = true;
            break;
        }
    }
    link.Stop();
    print(merger.TakeAll());
    int status = refused ? 1 : 0;
    if (unlogged > 0) {
        report(std::to_string(unlogged) + " frames could not be written to the log files in " +
               cl.strLogDirectory);
        status = 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        report("cannot write the output");
        status = 1;
    }
    return status;
}
