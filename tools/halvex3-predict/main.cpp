// halvex3-predict: the satellites view on a terminal. Prints, for every
// satellite table entry with orbit elements, the line the desktop program's
// Satellites view shows, from the stored table and home location. Reads the
// settings file only; never writes it.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "HalvexVersion.h"
#include "PassOutput.h"
#include "document/Settings.h"
#include "location/Coordinate.h"
#include "messages/SatelliteTable.h"
#include "messages/UtcTime.h"
#include "orbit/PassFormat.h"
#include "orbit/Passes.h"
#include "orbit/SatelliteRows.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "platform/Registry.h"
#include "platform/SettingsPaths.h"

namespace {

constexpr const char* kProgram = "halvex3-predict";
constexpr int kRedrawSeconds = 2;  // the view's redraw period, which the Doppler scale assumes

const char kUsage[] =
    "Usage: halvex3-predict [--settings FILE] [--home LAT LON] [--at YYYY-MM-DDTHH:MM:SSZ]\n"
    "                       [--watch] [--cp1252]\n"
    "       halvex3-predict --passes [--hours H] [--min-elevation DEG] [--json]\n"
    "                       [--ics FILE] [--settings FILE] [--home LAT LON] [--at TIME]\n"
    "Prints the Satellites view of Halvex: for every satellite whose orbit elements\n"
    "are stored, its sub-satellite point, azimuth, elevation, range and Doppler shift.\n"
    "\n"
    "  --settings FILE  read the satellite table and home location from FILE\n"
    "                   (default: $XDG_CONFIG_HOME/halvex3/settings.reg)\n"
    "  --home LAT LON   home location as typed in the Home location dialog,\n"
    "                   e.g. --home \"N52 30.5\" \"W8 36.5\"\n"
    "  --at TIME        predict for TIME (UTC, e.g. 2009-03-01T12:34:56Z), not now\n"
    "  --watch          redraw every 2 seconds until interrupted; the Doppler shift\n"
    "                   compares with the previous drawing (with --at, the time\n"
    "                   advances 2 seconds per drawing)\n"
    "  --cp1252         write the lines' bytes as stored (code page 1252) instead of UTF-8\n"
    "  --passes         list the passes over home instead, one a line sorted by AOS:\n"
    "                   satellite, AOS time and azimuth, TCA time and greatest\n"
    "                   elevation, LOS time and azimuth, duration (times UTC); a pass\n"
    "                   under way at the start is listed with its real AOS\n"
    "  --hours H        passes beginning within H hours of the start (default 24,\n"
    "                   at most 744)\n"
    "  --min-elevation DEG  a pass is the time at or above DEG degrees (0 to 90,\n"
    "                   default 0)\n"
    "  --json           with --passes: JSON Lines with the keys satellite, code, aos,\n"
    "                   aos_azimuth, tca, max_elevation, los, los_azimuth\n"
    "  --ics FILE       with --passes: also write the passes to FILE as an iCalendar\n"
    "                   file, one event per pass\n"
    "  -h, --help       show this help\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 done, 1 the settings file cannot be read (or the --ics file\n"
    "cannot be written), 2 usage error (or a --settings FILE that is not a\n"
    "settings file: it is left untouched).\n";

std::atomic<bool> g_bInterrupted{false};

void OnInterrupt(int)
{
    g_bInterrupted = true;
}

struct Options
{
    std::string strSettings;
    bool bSettingsGiven = false;
    bool bHomeGiven = false;
    std::string strHomeLat;
    std::string strHomeLon;
    bool bAtGiven = false;
    int64_t nAt = 0;
    bool bWatch = false;
    bool bCp1252 = false;
    bool bPasses = false;
    bool bPassOptionGiven = false;  // --hours, --min-elevation, --json or --ics
    double dHours = 24.0;
    double dMinElevation = 0.0;
    bool bJson = false;
    std::string strIcs;
};

// The option value as a finite number within [low, high].
bool ParseNumber(const std::string& text, double low, double high, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v < low || v > high)
        return false;
    value = v;
    return true;
}

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, reason.c_str());
    return 2;
}

// 0 to go on, otherwise the exit code (-1: help or version shown, exit 0).
int ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto needs = [&](int count) { return i + count < argc; };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--version") {
            std::printf("%s %s\n", kProgram, HALVEX_VERSION);
            return -1;
        } else if (arg == "--settings") {
            if (!needs(1))
                return UsageError("--settings needs a file name");
            options.strSettings = argv[++i];
            options.bSettingsGiven = true;
            if (options.strSettings.empty())
                return UsageError("--settings needs a file name");
        } else if (arg == "--home") {
            if (!needs(2))
                return UsageError(
                    "--home needs a latitude and a longitude, e.g. --home \"N52 30.5\" \"W8 36.5\"");
            options.strHomeLat = argv[++i];
            options.strHomeLon = argv[++i];
            options.bHomeGiven = true;
        } else if (arg == "--at") {
            if (!needs(1))
                return UsageError("--at needs a time, e.g. 2009-03-01T12:34:56Z");
            const std::string text = argv[++i];
            if (!ParseUtcTimestamp(text, options.nAt))
                return UsageError("'" + text + "' is not a time of the form YYYY-MM-DDTHH:MM:SSZ");
            options.bAtGiven = true;
        } else if (arg == "--watch") {
            options.bWatch = true;
        } else if (arg == "--cp1252") {
            options.bCp1252 = true;
        } else if (arg == "--passes") {
            options.bPasses = true;
        } else if (arg == "--hours") {
            options.bPassOptionGiven = true;
            if (!needs(1) || !ParseNumber(argv[i + 1], 1.0 / 3600.0, 744.0, options.dHours))
                return UsageError("--hours needs a number of hours above 0, at most 744");
            ++i;
        } else if (arg == "--min-elevation") {
            options.bPassOptionGiven = true;
            if (!needs(1) || !ParseNumber(argv[i + 1], 0.0, 90.0, options.dMinElevation))
                return UsageError("--min-elevation needs a number of degrees from 0 to 90");
            ++i;
        } else if (arg == "--json") {
            options.bPassOptionGiven = true;
            options.bJson = true;
        } else if (arg == "--ics") {
            options.bPassOptionGiven = true;
            if (!needs(1) || std::string(argv[i + 1]).empty())
                return UsageError("--ics needs a file name");
            options.strIcs = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            return UsageError("unexpected argument '" + arg + "'");
        }
    }
    if (options.bPassOptionGiven && !options.bPasses)
        return UsageError("--hours, --min-elevation, --json and --ics go with --passes");
    if (options.bPasses && options.bWatch)
        return UsageError("--watch does not go with --passes");
    return 0;
}

// The table and home from the settings file; 0 or the exit code.
int LoadSettings(const Options& options, CSatelliteTable& table, double& homeLat, double& homeLon)
{
    const std::string path = options.bSettingsGiven ? options.strSettings : DefaultSettingsPath();
    // Look first without the settings layer, which would carry on with the
    // defaults: a file the user pointed at must be there and be a settings file.
    std::string why;
    if (options.bSettingsGiven && reg::IsOtherThanSettingsFile(path, why)) {
        std::fprintf(stderr, "%s: %s; it is left as it is\n", kProgram, why.c_str());
        return 2;
    }
    reg::CRegFile file;
    std::string error;
    switch (file.Load(path, &error)) {
        case reg::CRegFile::LoadResult::Loaded:
            break;
        case reg::CRegFile::LoadResult::Missing:
            if (options.bSettingsGiven) {
                std::fprintf(stderr, "%s: cannot read settings file %s: no such file\n", kProgram,
                             path.c_str());
                return 1;
            }
            return 0;  // nothing stored yet: no satellites, home unset
        case reg::CRegFile::LoadResult::Unreadable:
            std::fprintf(stderr, "%s: cannot read settings file %s: %s\n", kProgram, path.c_str(),
                         error.c_str());
            return 1;
        case reg::CRegFile::LoadResult::Corrupt:
            std::fprintf(stderr, "%s: %s is not a settings file: %s\n", kProgram, path.c_str(),
                         error.c_str());
            return 1;
    }
    StoredSettings stored;
    if (ReadStoredSettings(path, stored) == SettingsRead::Unreadable) {
        // It changed under us.
        std::fprintf(stderr, "%s: cannot read settings file %s\n", kProgram, path.c_str());
        return 1;
    }
    stored.CopyTableTo(table);
    homeLat = stored.dHomeLat;
    homeLon = stored.dHomeLon;
    return 0;
}

// The clock of a --at run: the given instant, moved on by the drawings.
class CStepClock final : public IClock
{
public:
    explicit CStepClock(int64_t start) : m_nNow(start) {}
    int64_t Now() const override { return m_nNow; }
    void Advance(int64_t seconds) { m_nNow += seconds; }

private:
    int64_t m_nNow;
};

// Prints one drawing; bOverwrite (a terminal) clears what is left of each line
// and everything below the drawing, so it can be written over the last one.
// Returns the number of lines printed.
size_t PrintRows(const std::vector<SatelliteRow>& rows, bool bCp1252, bool bOverwrite = false)
{
    for (const SatelliteRow& row : rows) {
        const std::string text = bCp1252 ? row.strText : Cp1252ToUtf8(row.strText);
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (bOverwrite)
            std::fputs("\x1b[K", stdout);
        std::fputc('\n', stdout);
    }
    if (bOverwrite)
        std::fputs("\x1b[J", stdout);
    std::fflush(stdout);
    return rows.size();
}

// --passes: the list on stdout, and the calendar file when asked for.
int PrintPasses(const Options& options, const CSatelliteTable& table, double homeLat, double homeLon,
                int64_t start)
{
    const int64_t seconds = std::llround(options.dHours * 3600.0);
    const std::vector<SatellitePass> passes =
        FindPasses(table, homeLat, homeLon, start, seconds, options.dMinElevation);
    if (!options.strIcs.empty()) {
        const std::string calendar = PassCalendar(passes, CSystemClock().Now());
        FILE* file = std::fopen(options.strIcs.c_str(), "wb");
        const bool bWritten =
            file && std::fwrite(calendar.data(), 1, calendar.size(), file) == calendar.size();
        if ((file && std::fclose(file) != 0) || !bWritten) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, options.strIcs.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    for (const SatellitePass& pass : passes) {
        std::string line = options.bJson ? PassJsonLine(pass) : FormatPassLine(pass);
        if (!options.bJson && !options.bCp1252)
            line = Cp1252ToUtf8(line);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int code = ParseArguments(argc, argv, options);
    if (code != 0)
        return code < 0 ? 0 : code;

    CSatelliteTable table;
    double homeLat = 0.0;
    double homeLon = 0.0;
    code = LoadSettings(options, table, homeLat, homeLon);
    if (code != 0)
        return code;

    if (options.bHomeGiven) {
        bool bFailed = false;
        const MessageSink toStderr = [&](const std::string& text) {
            bFailed = true;
            std::fprintf(stderr, "%s: %s\n", kProgram, Cp1252ToUtf8(text).c_str());
        };
        homeLat = ParseCoordinate(options.strHomeLat, true, toStderr);
        homeLon = ParseCoordinate(options.strHomeLon, false, toStderr);
        if (bFailed)
            return 2;
    } else if (homeLat == 0.0 && homeLon == 0.0) {
        std::fprintf(stderr, "%s: no home location is stored; predicting for 0 N 0 E (see --home)\n",
                     kProgram);
    }

    bool bAnyElements = false;
    for (int nCode = 0; nCode < CSatelliteTable::kEntries; ++nCode)
        bAnyElements = bAnyElements || table.HasElements(nCode);
    if (!bAnyElements) {
        const std::string path = options.bSettingsGiven ? options.strSettings : DefaultSettingsPath();
        std::fprintf(stderr,
                     "%s: no orbit elements are stored yet; decode a pass that carries a bulletin "
                     "with 'halvex3-decode --settings %s RECORDING' (or receive one with "
                     "halvex3), then run this again\n",
                     kProgram, path.c_str());
    }

    CSystemClock systemClock;
    CStepClock stepClock(options.nAt);
    const IClock& clock = options.bAtGiven ? static_cast<const IClock&>(stepClock) : systemClock;

    if (options.bPasses)
        return PrintPasses(options, table, homeLat, homeLon, clock.Now());

    if (!options.bWatch) {
        PrintRows(ComputeSatelliteRows(table, homeLat, homeLon, clock), options.bCp1252);
        return 0;
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const bool bTerminal = isatty(STDOUT_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    size_t nShown = 0;
    for (int drawing = 0; !g_bInterrupted; ++drawing) {
        if (drawing > 0) {
            // A terminal gets the new drawing over the last one (back up to its
            // first line); anything else gets the drawings one after another.
            if (bTerminal && nShown > 0)
                std::printf("\x1b[%zuA\r", nShown);
            else if (!bTerminal)
                std::fputc('\n', stdout);
        }
        nShown = PrintRows(ComputeSatelliteRows(table, homeLat, homeLon, clock), options.bCp1252, bTerminal);
        // Keep to the 2-second beat from the start so the drawings do not drift.
        const auto next = start + std::chrono::seconds(kRedrawSeconds * (drawing + 1));
        while (!g_bInterrupted && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stepClock.Advance(kRedrawSeconds);
    }
    return 0;
}
