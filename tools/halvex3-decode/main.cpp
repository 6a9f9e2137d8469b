// halvex3-decode: decodes the 400 bit/s satellite downlink from a sound file
// or raw samples and prints every message and expansion line in log order.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "HalvexVersion.h"
#include "document/HalvexDoc.h"
#include "document/Settings.h"
#include "messages/DecoderChain.h"
#include "messages/UtcTime.h"
#include "output/JsonOutput.h"
#include "output/LogOutput.h"
#include "output/MqttOutput.h"
#include "output/TextOutput.h"
#include "platform/Cp1252.h"
#include "platform/Registry.h"
#include "platform/SampleReader.h"

namespace {

constexpr const char* kProgram = "halvex3-decode";

const char kUsage[] =
    "Usage: halvex3-decode [OPTIONS] [FILE]\n"
    "Decodes the 400 bit/s downlink of the polar-orbiting weather satellites from\n"
    "a sound file (any rate and channel count; the first channel is used) or from\n"
    "raw samples on standard input (FILE - or no FILE), and prints every message\n"
    "line and expansion line in log order.\n"
    "\n"
    "  -t, --type u8|s16le  raw sample format on standard input (default u8,\n"
    "                       128 is the zero line)\n"
    "  -r, --rate HZ        raw sample rate (default 48000; others are resampled)\n"
    "  --start TIME         UTC time of the first sample, YYYY-MM-DDTHH:MM:SSZ\n"
    "                       (default: now); a line is stamped with the second of\n"
    "                       the input at which it is made\n"
    "  --no-require-crc     also show frames whose check value does not match\n"
    "  --no-expand          do not interpret frames (no expansion lines)\n"
    "  --weak-signals       also run the weak-signal receiver: adds the frames of\n"
    "                       weak, drifting or band-limited signals that only it\n"
    "                       finds (CRC-checked, stamped as the decoder would)\n"
    "  --log-dir DIR        also append the lines to the daily log files in DIR\n"
    "  --settings FILE      start from the satellite table stored in the desktop\n"
    "                       program's settings FILE and store the table back there\n"
    "                       at the end (the other settings are kept)\n"
    "  --cp1252             print the log's code page 1252 bytes instead of UTF-8\n"
    "  --json               print one JSON object per frame instead of the lines\n"
    "                       (JSON Lines, UTF-8: time, hex, crc_ok, line,\n"
    "                       expansion when one was made, station when named)\n"
    "  --mqtt URL           also publish every frame's JSON object to an MQTT\n"
    "                       broker, mqtt://[USER@]HOST[:PORT] or\n"
    "                       mqtts://[USER@]HOST[:PORT] (TLS), on the topic\n"
    "                       halvex/STATION/frames (QoS 1); the password is taken\n"
    "                       from the environment variable HALVEX_MQTT_PASSWORD\n"
    "  --mqtt-cafile FILE   trust the broker certificates signed by the CA in\n"
    "                       FILE instead of the system's CA store\n"
    "  --station NAME       the station's name in the JSON objects and topics\n"
    "                       (default for --mqtt: the host name)\n"

    "  -h, --help           show this help\n"
    "  --version            show the version\n"
    "\n"
    "With --mqtt, SIGINT or SIGTERM ends the input rather than the program: the\n"
    "frames still queued go to the broker first (a second signal ends it at once).\n"
    "\n"
    "Example: rtl_fm -f 466.0M -s 24000 | halvex3-decode -t s16le -r 24000 -\n"
    "\n"
    "Exit status: 0 done, 1 the input cannot be read (or breaks off), the output\n"
    "or a log file cannot be written, or frames could not be delivered to the\n"
    "broker (it refused the connection, or did not acknowledge them within 10 s\n"
    "after the input ended), 2 usage error (or a --settings FILE that is not a\n"
    "settings file: it is left untouched).\n";

struct CommandLine
{
    InputSource input;
    DecodeOptions decode;
    bool bCp1252 = false;
    bool bJson = false;
    bool bStartGiven = false;
    std::string strLogDirectory;  // empty: no log files
    MqttSettings mqtt;            // strUrl empty: no broker
    std::string strSettings;      // empty: no settings file
};

// With a broker, SIGINT or SIGTERM (a service being stopped) ends the input
// rather than the program: standard input becomes /dev/null, the read in
// progress sees the end, and the queued frames still go to the broker. A
// second signal ends the program at once.
int g_nNullInput = -1;

void EndInput(int)
{
    dup2(g_nNullInput, STDIN_FILENO);
}

void EndInputOnStopSignals()
{
    g_nNullInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (g_nNullInput < 0)
        return;
    struct sigaction end = {};
    end.sa_handler = EndInput;
    end.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &end, nullptr);
    sigaction(SIGTERM, &end, nullptr);
}

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, reason.c_str());
    return 2;
}

// 0: parsed; -1: done (help or version shown); otherwise the exit status.
int ParseCommandLine(int argc, char** argv, CommandLine& cl)
{
    bool fileGiven = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasInlineValue = false;
        if (!optionsEnded && arg.rfind("--", 0) == 0 && arg.size() > 2) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto needValue = [&](std::string& out) {
            if (hasInlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        const bool takesValue = arg == "-t" || arg == "--type" || arg == "-r" || arg == "--rate" ||
                                arg == "--start" || arg == "--log-dir" || arg == "--settings" ||
                                arg == "--mqtt" || arg == "--mqtt-cafile" || arg == "--station";
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            if (fileGiven)
                return UsageError("more than one input file");
            cl.input.strPath = arg;
            fileGiven = true;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (hasInlineValue && !takesValue) {
            return UsageError("option " + arg + " takes no value");
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--version") {
            std::printf("%s %s\n", kProgram, HALVEX_VERSION);
            return -1;
        } else if (takesValue) {
            std::string v;
            if (!needValue(v))
                return UsageError(arg + " needs a value");
            if (arg == "-t" || arg == "--type") {
                if (v == "u8")
                    cl.input.type = RawType::U8;
                else if (v == "s16le")
                    cl.input.type = RawType::S16LE;
                else
                    return UsageError("unknown sample type '" + v + "' (u8 or s16le)");
            } else if (arg == "-r" || arg == "--rate") {
                char* end = nullptr;
                errno = 0;
                const long rate = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end != '\0' || errno != 0 || !IsUsableRate(static_cast<int>(rate)) ||
                    rate > 1000000)
                    return UsageError("bad sample rate '" + v + "' (1000 to 1000000 Hz)");
                cl.input.nRate = static_cast<int>(rate);
            } else if (arg == "--start") {
                if (!ParseUtcTimestamp(v, cl.decode.nStart))
                    return UsageError("bad start time '" + v + "' (YYYY-MM-DDTHH:MM:SSZ)");
                cl.bStartGiven = true;
            } else if (arg == "--settings") {
                if (v.empty())
                    return UsageError("--settings needs a file name");
                cl.strSettings = v;
            } else if (arg == "--mqtt") {
                MqttUrl url;
                std::string why;
                if (!ParseMqttUrl(v, url, why))
                    return UsageError(why);
                cl.mqtt.strUrl = v;
            } else if (arg == "--mqtt-cafile") {
                if (v.empty())
                    return UsageError("--mqtt-cafile needs a file name");
                cl.mqtt.strCaFile = v;
            } else if (arg == "--station") {
                std::string why;
                if (!CheckStationName(v, why))
                    return UsageError(why);
                cl.mqtt.strStation = v;
            } else {
                if (v.empty())
                    return UsageError("--log-dir needs a directory");
                cl.strLogDirectory = v;
            }
        } else if (arg == "--no-require-crc") {
            cl.decode.bRequireCrc = false;
        } else if (arg == "--no-expand") {
            cl.decode.bExpand = false;
        } else if (arg == "--weak-signals") {
            cl.decode.bWeakSignals = true;
        } else if (arg == "--cp1252") {
            cl.bCp1252 = true;
        } else if (arg == "--json") {
            cl.bJson = true;
        } else {
            return UsageError("unknown option '" + arg + "'");
        }
    }
    if (cl.bJson && cl.bCp1252)
        return UsageError("--json prints UTF-8; it does not go with --cp1252");
    if (!cl.mqtt.strCaFile.empty() && cl.mqtt.strUrl.rfind("mqtts://", 0) != 0)
        return UsageError("--mqtt-cafile goes with an mqtts:// URL in --mqtt");
    if (!cl.mqtt.strStation.empty() && !cl.bJson && cl.mqtt.strUrl.empty())
        return UsageError("--station goes with --json or --mqtt");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    CommandLine cl;
    cl.decode.nStart = static_cast<int64_t>(std::time(nullptr));
    const int parsed = ParseCommandLine(argc, argv, cl);
    if (parsed == -1)
        return 0;
    if (parsed != 0)
        return parsed;

    // With a settings file the run starts from the satellite table the desktop
    // program keeps, and stores the table back as the document does at exit,
    // so a station decoding headless keeps the table the desktop shows. A
    // headless document reads and writes the settings exactly as the desktop
    // program does; it is saved only after a decoding run.
    // A reader that goes away (| head) must not cut the run short before the
    // log and the settings file have everything: the output error is reported
    // at the end instead.
    // A broker connection that breaks must not end the program either.
    if (!cl.strSettings.empty() || !cl.strLogDirectory.empty() || !cl.mqtt.strUrl.empty())
        std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<CHalvexDoc> pSettingsDoc;
    if (!cl.strSettings.empty()) {
        // A file named by mistake (notes, a recording) is refused, not
        // replaced by a settings file.
        std::string why;
        if (reg::IsOtherThanSettingsFile(cl.strSettings, why)) {
            std::fprintf(stderr, "%s: %s; it is left as it is\n", kProgram, why.c_str());
            return 2;
        }
        DocEnvironment env;  // no window, no sound cards
        env.strProgramName = kProgram;
        env.strSettingsPath = cl.strSettings;
        env.bSaveSettings = false;
        pSettingsDoc = std::make_unique<CHalvexDoc>(env);
    }

    const auto report = [](const std::string& text) {
        std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    };
    std::unique_ptr<IMessageOutput> screen;
    if (cl.bJson)
        screen = std::make_unique<CJsonOutput>(stdout, cl.mqtt.strStation);
    else
        screen = std::make_unique<CTextOutput>(cl.bCp1252);
    std::unique_ptr<CLogOutput> log;
    if (!cl.strLogDirectory.empty()) {
        log = std::make_unique<CLogOutput>(cl.strLogDirectory);
        log->onReport = report;
    }
    std::unique_ptr<CMqttOutput> mqtt;
    if (!cl.mqtt.strUrl.empty()) {
        // The password never appears on the command line.
        if (const char* password = std::getenv(kMqttPasswordVariable))
            cl.mqtt.strPassword = password;
        cl.mqtt.onReport = report;
        mqtt = std::make_unique<CMqttOutput>(cl.mqtt);
        std::string why;
        if (!mqtt->Start(why)) {
            report(why);
            return 1;
        }
        EndInputOnStopSignals();
    }

    CDecoderChain chain(cl.decode);
    if (log)
        chain.AddOutput(*log);
    chain.AddOutput(*screen);
    if (mqtt)
        chain.AddOutput(*mqtt);
    if (pSettingsDoc)
        chain.Table() = pSettingsDoc->m_table;

    // Raw samples typed at a terminal are nobody's plan: say so, and how to end.
    if (cl.input.strPath == "-" && isatty(STDIN_FILENO))
        std::fprintf(stderr,
                     "%s: reading raw samples from the terminal; name a sound file or pipe "
                     "samples in (see --help); Ctrl-D ends\n",
                     kProgram);

    std::string error;
    const ReadResult result = ReadSamples(
        cl.input, [&chain](const uint8_t* s, size_t n) { chain.ProcessBlock(s, n); }, error);
    const std::string name = cl.input.strPath == "-" ? "standard input" : cl.input.strPath;
    if (result == ReadResult::CannotOpen) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", kProgram, name.c_str(), error.c_str());
        return 1;
    }
    const bool delivered = chain.Finish();
    if (pSettingsDoc) {
        pSettingsDoc->m_table = chain.Table();
        pSettingsDoc->SaveSettings(kSettingsKey);
    }
    const int status = delivered ? 0 : 1;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the output\n", kProgram);
        return 1;
    }
    if (result == ReadResult::Damaged) {
        std::fprintf(stderr, "%s: %s: input broke off after %llu samples: %s\n", kProgram, name.c_str(),
                     static_cast<unsigned long long>(chain.SampleCount() - CDecoderChain::kRate),
                     error.c_str());
        return 1;
    }
    return status;
}
