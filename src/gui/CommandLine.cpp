#include "gui/CommandLine.h"

#include <strings.h>

#include "network/MqttLink.h"
#include "platform/SettingsPaths.h"

namespace {

bool IsAutomationSwitch(const std::string& arg)
{
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/'))
        return false;
    // The automation switches are matched without regard to case, as the
    // shell that registered them may have written them either way.
    const char* rest = arg.c_str() + 1;
    return strcasecmp(rest, "Embedding") == 0 || strcasecmp(rest, "Automation") == 0;
}

int ViewModeByName(const std::string& name)
{
    static const char* const kNames[] = {"signal", "messages", "satellites", "chart", "passes"};
    for (int i = 0; i < 5; ++i)
        if (strcasecmp(name.c_str(), kNames[i]) == 0)
            return i;
    return -1;
}

}  // namespace

AppOptions ParseCommandLine(const std::vector<std::string>& args)
{
    AppOptions o;
    for (size_t i = 0; i < args.size() && o.strError.empty(); ++i) {
        const std::string& a = args[i];
        std::string name = a;
        std::string value;
        bool bHasValue = false;
        if (a.rfind("--", 0) == 0) {
            size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
                bHasValue = true;
            }
        }
        auto takeValue = [&]() -> bool {
            if (bHasValue)
                return true;
            if (i + 1 >= args.size()) {
                o.strError = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };

        if (IsAutomationSwitch(a)) {
            o.bHeadless = true;
        } else if (name == "--input") {
            if (takeValue())
                o.strInput = value;
        } else if (name == "--start" && !bHasValue) {
            o.bStart = true;
        } else if (name == "--view") {
            if (takeValue()) {
                o.nViewMode = ViewModeByName(value);
                if (o.nViewMode < 0)
                    o.strError =
                        "unknown view '" + value + "' (signal, messages, satellites, chart or passes)";
            }
        } else if (name == "--settings") {
            if (takeValue())
                o.strSettings = value;
        } else if (name == "--log-dir") {
            if (takeValue())
                o.strLogDir = WithTrailingSlash(value);
        } else if (name == "--mqtt") {
            MqttUrl parsed;
            if (takeValue() && ParseMqttUrl(value, parsed, o.strError))
                o.strMqttUrl = value;
        } else if (name == "--station") {
            if (takeValue() && CheckStationName(value, o.strError))
                o.strStation = value;
        } else if (name == "--weak-signals" && !bHasValue) {
            o.bWeakSignals = true;
        } else if ((name == "--help" || name == "-h") && !bHasValue) {
            o.bHelp = true;
        } else if (name == "--version" && !bHasValue) {
            o.bVersion = true;
        } else {
            o.strError = "unknown argument '" + a + "'";
        }
        if (o.strError.empty() && bHasValue && value.empty())
            o.strError = "option " + name + " needs a value";
    }
    return o;
}

std::string CommandLineHelp(const std::string& strProgram)
{
    return "Usage: " + strProgram +
           " [options]\n"
           "Decodes the 400 bit/s downlink of the polar-orbiting weather satellites from\n"
           "the sound card and predicts where they are.\n"
           "\n"
           "Options:\n"
           "  --input FILE       play the WAV file FILE in real time instead of capturing\n"
           "                     from the sound cards\n"
           "  --start            choose Process > Start once the window is up\n"
           "  --view MODE        start in view MODE: signal, messages, satellites, chart\n"
           "                     or passes\n"
           "  --settings FILE    read and write the settings in FILE\n"
           "  --log-dir DIR      write the daily log files to DIR (as if chosen under\n"
           "                     Options > Directories > Log files; kept in the settings)\n"
           "  --mqtt URL         publish every frame to the MQTT broker at URL,\n"
           "                     mqtt://[USER@]HOST[:PORT] or mqtts://... (TLS); the\n"
           "                     password comes from HALVEX_MQTT_PASSWORD (as if set under\n"
           "                     Options > Station network...; kept in the settings)\n"
           "  --station NAME     the station's name in the topics (default: the host name)\n"
           "  --weak-signals     also run the weak-signal receiver (as if chosen under\n"
           "                     Options > Decoder > Weak signals; kept in the settings)\n"
           "  -Embedding, -Automation, /Embedding, /Automation\n"
           "                     run without a window until SIGTERM or SIGINT\n"
           "  --help             show this text and exit\n"
           "  --version          show the version and exit\n";
}
