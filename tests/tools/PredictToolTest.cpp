// halvex3-predict run as a program: its lines against the library's rows for
// the same table, home and time; its errors and exit codes.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include "HalvexVersion.h"

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
#include "support/PassScan.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = std::string(HALVEX_BIN_DIR) + "/halvex3-predict";
constexpr int64_t kAt = 1235910896;  // 2009-03-01T12:34:56Z
const char kAtText[] = "2009-03-01T12:34:56Z";

struct RunResult
{
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};

std::vector<char*> Argv(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kTool.c_str()));
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

class PredictTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(kTool)) << "build the halvex3-predict target first";
        m_settings = (m_dir / "settings.reg").string();

        // Codes 3 (no name), 8 and 12, and entries the prediction must skip.
        SetEntry(3, 1235900000, 211.5, 6089.7, 98.9);
        SetEntry(8, 1235908000, 123.456, 6127.38, 98.7234);
        SetEntry(12, 1235000000, 300.25, 6120.0, 98.8);
        SetEntry(9, 1235908000, 10.0, 0.0, 98.7);     // period 0
        SetEntry(40, 1235908000, 0.0, 6000.0, 99.0);  // no elements
        m_stored.dHomeLat = 52.0;
        m_stored.dHomeLon = -8.5;
    }

    void SetEntry(int code, int32_t eqx, double eql, double per, double inc)
    {
        m_stored.nEqx[code] = eqx;
        m_stored.dEql[code] = eql;
        m_stored.dPer[code] = per;
        m_stored.dInc[code] = inc;
    }

    // Stored the way the desktop program stores its settings.
    void WriteSettings(const std::string& path)
    {
        reg::CRegKey key;
        ASSERT_EQ(reg::ERROR_SUCCESS, key.CreateKey(path, kSettingsKey, nullptr));
        WriteStoredValues(key, m_stored);
        ASSERT_EQ(reg::ERROR_SUCCESS, key.Close());
    }

    // The rows the library gives for the stored table, one drawing per
    // element of times, as the tool prints them.
    std::vector<std::string> LibraryDrawings(double homeLat, double homeLon,
                                             const std::vector<int64_t>& times, bool bUtf8 = true)
    {
        CSatelliteTable table;
        m_stored.CopyTableTo(table);
        std::vector<std::string> drawings;
        for (int64_t t : times) {
            const CManualClock clock(t);
            std::string text;
            for (const SatelliteRow& row : ComputeSatelliteRows(table, homeLat, homeLon, clock))
                text += (bUtf8 ? Cp1252ToUtf8(row.strText) : row.strText) + "\n";
            drawings.push_back(text);
        }
        return drawings;
    }

    RunResult Run(std::vector<std::string> args, const std::string& xdgConfigHome = std::string())
    {
        RunResult result;
        const fs::path out = m_dir / "stdout";
        const fs::path err = m_dir / "stderr";
        std::vector<char*> argv = Argv(args);
        const pid_t pid = fork();
        if (pid == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, 1);
            dup2(e, 2);
            if (!xdgConfigHome.empty())
                setenv("XDG_CONFIG_HOME", xdgConfigHome.c_str(), 1);
            execv(kTool.c_str(), argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.strOut = ReadFileText(out);
        result.strErr = ReadFileText(err);
        return result;
    }

    CTempDir m_tmp{"predict"};
    fs::path m_dir = m_tmp.Path();
    std::string m_settings;
    StoredSettings m_stored;
};

int CountLines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

}  // namespace

TEST_F(PredictTool, PrintsTheLibraryRowsForTheStoredTableAndHome)
{
    WriteSettings(m_settings);
    const std::string expected = LibraryDrawings(52.0, -8.5, {kAt})[0];
    ASSERT_EQ(3, CountLines(expected));  // codes 3, 8, 12; 9 and 40 are skipped

    const RunResult r = Run({"--settings", m_settings, "--at", kAtText});
    EXPECT_EQ(0, r.nExit) << r.strErr;
    EXPECT_EQ(expected, r.strOut);
    EXPECT_EQ("", r.strErr);
    EXPECT_EQ(0u, r.strOut.rfind("Unknown lat ", 0));
    EXPECT_NE(std::string::npos, r.strOut.find("\nNOAA-18 lat "));
    EXPECT_NE(std::string::npos, r.strOut.find("\xC2\xB0 lon"));  // UTF-8 degree sign
    EXPECT_NE(std::string::npos, r.strOut.find("  +0.0kHz@466MHz\n"));

    // --cp1252: the stored bytes, degree sign 0xB0.
    const RunResult raw = Run({"--cp1252", "--at", kAtText, "--settings", m_settings});
    EXPECT_EQ(0, raw.nExit);
    EXPECT_EQ(LibraryDrawings(52.0, -8.5, {kAt}, false)[0], raw.strOut);
    EXPECT_NE(std::string::npos, raw.strOut.find(" lat "));
    EXPECT_EQ(std::string::npos, raw.strOut.find('\xC2'));
}

TEST_F(PredictTool, HomeFromTheCommandLineAndTheDefaultSettingsFile)
{
    const fs::path xdg = m_dir / "config";
    WriteSettings((xdg / "halvex3" / "settings.reg").string());
    const MessageSink none = [](const std::string& text) { ADD_FAILURE() << text; };
    const double lat = ParseCoordinate("N52 30.5", true, none);
    const double lon = ParseCoordinate("W8 36.5", false, none);

    RunResult r = Run({"--home", "N52 30.5", "W8 36.5", "--at", kAtText}, xdg.string());
    EXPECT_EQ(0, r.nExit) << r.strErr;
    EXPECT_EQ(LibraryDrawings(lat, lon, {kAt})[0], r.strOut);
    EXPECT_NE(LibraryDrawings(52.0, -8.5, {kAt})[0], r.strOut);

    // No settings file at the default place: nothing to show, not an error.
    r = Run({"--at", kAtText}, (m_dir / "empty").string());
    EXPECT_EQ(0, r.nExit);
    EXPECT_EQ("", r.strOut);
}

TEST_F(PredictTool, NoElementsStoredSaysHowToGetThem)
{
    for (int code = 0; code < CSatelliteTable::kEntries; ++code)
        m_stored.dEql[code] = 0.0;
    WriteSettings(m_settings);
    const RunResult r = Run({"--settings", m_settings, "--at", kAtText});
    EXPECT_EQ(0, r.nExit);
    EXPECT_EQ("", r.strOut);
    EXPECT_EQ(1, CountLines(r.strErr)) << r.strErr;
    EXPECT_NE(std::string::npos, r.strErr.find("halvex3-predict: no orbit elements are stored yet"));
    EXPECT_NE(std::string::npos, r.strErr.find("halvex3-decode --settings " + m_settings)) << r.strErr;

    // With elements stored, nothing is said.
    SetEntry(8, 1235908000, 123.456, 6127.38, 98.7234);
    WriteSettings(m_settings);
    EXPECT_EQ("", Run({"--settings", m_settings, "--at", kAtText}).strErr);
}

TEST_F(PredictTool, NeverWritesTheSettingsFile)
{
    WriteSettings(m_settings);
    const std::string before = ReadFileText(m_settings);
    chmod(m_settings.c_str(), 0400);
    const RunResult r = Run({"--settings", m_settings, "--at", kAtText});
    EXPECT_EQ(0, r.nExit);
    EXPECT_EQ(before, ReadFileText(m_settings));
    chmod(m_settings.c_str(), 0600);

    std::ofstream(m_dir / "corrupt.reg") << "this is no settings file\n";
    Run({"--settings", (m_dir / "corrupt.reg").string()});
    EXPECT_EQ("this is no settings file\n", ReadFileText(m_dir / "corrupt.reg"));
    EXPECT_FALSE(fs::exists(m_dir / "corrupt.reg.bad"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"corrupt.reg", "settings.reg", "stderr", "stdout"}), names);
}

TEST_F(PredictTool, UnreadableSettingsExitOne)
{
    const std::string missing = (m_dir / "missing.reg").string();
    RunResult r = Run({"--settings", missing});
    EXPECT_EQ(1, r.nExit);
    EXPECT_NE(std::string::npos, r.strErr.find(missing));
    EXPECT_EQ("", r.strOut);

    r = Run({"--settings", m_dir.string()});  // a directory
    EXPECT_EQ(1, r.nExit);
    EXPECT_NE(std::string::npos, r.strErr.find(m_dir.string()));

    std::ofstream(m_dir / "corrupt.reg") << "\x01\x02garbage";
    r = Run({"--settings", (m_dir / "corrupt.reg").string()});
    EXPECT_EQ(2, r.nExit) << "no settings file at all: refused as a usage error";
    EXPECT_EQ(1, CountLines(r.strErr)) << r.strErr;
}

TEST_F(PredictTool, UsageErrorsExitTwoWithOneLine)
{
    WriteSettings(m_settings);
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"extra"},
        {"--settings"},
        {"--home", "N52"},
        {"--at"},
        {"--at", "2009-03-01 12:34:56"},
        {"--at", "2009-02-29T00:00:00Z"},  // not a leap year
        {"--at", "2009-03-01T24:00:00Z"},
        {"--at", "2009-13-01T00:00:00Z"},
        {"--at", "2009-3-01T00:00:00Z"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> full = args;
        full.insert(full.begin(), {"--settings", m_settings});
        const RunResult r = Run(full);
        EXPECT_EQ(2, r.nExit) << args[0];
        EXPECT_EQ(1, CountLines(r.strErr)) << r.strErr;
        EXPECT_EQ(0u, r.strErr.rfind("halvex3-predict: ", 0)) << r.strErr;
        EXPECT_EQ("", r.strOut);
    }
    EXPECT_EQ(0, Run({"--settings", m_settings, "--at", "2008-02-29T23:59:59Z"}).nExit);
}

TEST_F(PredictTool, CoordinateMessagesGoToStandardError)
{
    WriteSettings(m_settings);
    RunResult r = Run({"--settings", m_settings, "--home", "N95", "W8 36.5"});
    EXPECT_EQ(2, r.nExit);
    EXPECT_EQ("halvex3-predict: The latitude that you have entered is invalid. Please try again\n", r.strErr);
    EXPECT_EQ("", r.strOut);

    // Both wrong: the latitude's message, then the longitude's.
    r = Run({"--settings", m_settings, "--home", " N52", "X8"});
    EXPECT_EQ(2, r.nExit);
    EXPECT_EQ(
        "halvex3-predict: The latitude must begin with 'N' or 'S'.  Please try again\n"
        "halvex3-predict: The longitude must begin with 'E' or 'W'.  Please try again\n",
        r.strErr);
}

TEST_F(PredictTool, HelpAndVersion)
{
    RunResult r = Run({"--help"});
    EXPECT_EQ(0, r.nExit);
    EXPECT_EQ(0u, r.strOut.rfind("Usage: halvex3-predict ", 0));
    for (const char* option : {"--settings", "--home", "--at", "--watch", "--cp1252", "--version"})
        EXPECT_NE(std::string::npos, r.strOut.find(option)) << option;
    EXPECT_EQ(0, Run({"-h"}).nExit);

    r = Run({"--version"});
    EXPECT_EQ(0, r.nExit);
    EXPECT_EQ(std::string("halvex3-predict ") + HALVEX_VERSION + "\n", r.strOut);
}

TEST_F(PredictTool, WatchOnATerminalRedrawsInPlace)
{
    WriteSettings(m_settings);
    const std::vector<std::string> drawings = LibraryDrawings(52.0, -8.5, {kAt, kAt + 2});
    const int nLines = CountLines(drawings[0]);
    ASSERT_GT(nLines, 1);

    std::vector<std::string> args = {"--settings", m_settings, "--at", kAtText, "--watch"};
    std::vector<char*> argv = Argv(args);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execv(kTool.c_str(), argv.data());
        _exit(127);
    }
    // Up to the first line of the previous drawing, then the second drawing.
    const std::string up = "\x1b[" + std::to_string(nLines) + "A\r";
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const size_t at = out.find(up);
        if (at != std::string::npos && CountLines(out.substr(at)) >= nLines)
            break;
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);

    // Nothing is cleared off the screen, nothing scrolls: the second drawing
    // is written over the first, each line cleared to its end.
    EXPECT_EQ(std::string::npos, out.find("\x1b[2J"));
    const size_t at = out.find(up);
    ASSERT_NE(std::string::npos, at) << out;
    EXPECT_EQ(nLines, CountLines(out.substr(0, at)));
    const std::string second = out.substr(at + up.size());
    const std::string firstRow = drawings[1].substr(0, drawings[1].find('\n'));
    EXPECT_EQ(0u, second.find(firstRow + "\x1b[K\r\n")) << second;
}

TEST_F(PredictTool, WatchRedrawsWithTheDopplerOfThePreviousDrawing)
{
    WriteSettings(m_settings);
    const std::vector<std::string> drawings = LibraryDrawings(52.0, -8.5, {kAt, kAt + 2});
    ASSERT_NE(drawings[0], drawings[1]);
    const std::string expected = drawings[0] + "\n" + drawings[1];

    std::vector<std::string> args = {"--settings", m_settings, "--at", kAtText, "--watch"};
    std::vector<char*> argv = Argv(args);
    int pipeFds[2];
    ASSERT_EQ(0, pipe(pipeFds));
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(kTool.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);

    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (out.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    close(pipeFds[0]);

    ASSERT_GE(out.size(), expected.size());
    EXPECT_EQ(expected, out.substr(0, expected.size()));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(PredictTool, AFileThatIsNoSettingsFileIsRefusedAsAUsageError)
{
    const fs::path notes = m_dir / "notes.txt";
    std::ofstream(notes) << "14:03 NOAA 18, strong signal\n";
    const RunResult r = Run({"--settings", notes.string(), "--at", kAtText});
    EXPECT_EQ(2, r.nExit);
    EXPECT_EQ("halvex3-predict: " + notes.string() +
                  " is not a settings file (no REGEDIT4 header); it is left as it is\n",
              r.strErr);
    EXPECT_EQ("", r.strOut);
    EXPECT_EQ("14:03 NOAA 18, strong signal\n", ReadFileText(notes));
}

// --- --passes ---------------------------------------------------------------

namespace {

// The passes of every stored entry the prediction takes, found second by
// second, in AOS order.
std::vector<SatellitePass> ScannedPasses(const StoredSettings& stored, double homeLat, double homeLon,
                                         int64_t start, int64_t seconds)
{
    CSatelliteTable table;
    stored.CopyTableTo(table);
    std::vector<SatellitePass> all;
    for (int code = 0; code < CSatelliteTable::kEntries; ++code) {
        if (!IsPredictable(table, code))
            continue;
        const std::vector<SatellitePass> one =
            testsupport::ScanPasses(table, code, homeLat, homeLon, start, seconds, 0.0);
        all.insert(all.end(), one.begin(), one.end());
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const SatellitePass& a, const SatellitePass& b) { return a.nAos < b.nAos; });
    return all;
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    for (size_t next; (next = text.find(end, pos)) != std::string::npos; pos = next + end.size())
        lines.push_back(text.substr(pos, next - pos));
    EXPECT_EQ(text.size(), pos) << "text after the last line end";
    return lines;
}

// A small iCalendar reader: unfolds the lines and gives each event's
// properties with their TEXT values unescaped.
std::vector<std::map<std::string, std::string>> ReadCalendar(const std::string& text)
{
    std::vector<std::string> lines;
    for (const std::string& raw : SplitLines(text, "\r\n")) {
        EXPECT_LE(raw.size(), 75u) << raw;
        EXPECT_EQ(std::string::npos, raw.find('\n')) << "a bare line feed";
        if (!raw.empty() && raw[0] == ' ') {
            EXPECT_FALSE(lines.empty());
            // Folding never splits a UTF-8 character.
            EXPECT_NE(0x80, static_cast<unsigned char>(raw[1]) & 0xC0) << raw;
            lines.back() += raw.substr(1);
        } else {
            lines.push_back(raw);
        }
    }
    std::vector<std::map<std::string, std::string>> events;
    EXPECT_FALSE(lines.empty());
    if (lines.empty())
        return events;
    EXPECT_EQ("BEGIN:VCALENDAR", lines.front());
    EXPECT_EQ("END:VCALENDAR", lines.back());
    bool bIn = false;
    for (const std::string& line : lines) {
        if (line == "BEGIN:VEVENT") {
            EXPECT_FALSE(bIn);
            bIn = true;
            events.emplace_back();
        } else if (line == "END:VEVENT") {
            EXPECT_TRUE(bIn);
            bIn = false;
        } else if (bIn) {
            const size_t colon = line.find(':');
            EXPECT_NE(std::string::npos, colon) << line;
            std::string value;
            for (size_t i = colon + 1; i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                    value += line[i] == 'n' ? '\n' : line[i];
                } else {
                    value += line[i];
                }
            }
            events.back()[line.substr(0, colon)] = value;
        }
    }
    EXPECT_FALSE(bIn);
    return events;
}

std::string CalendarTime(int64_t instant)
{
    std::string t = FormatPassInstant(instant);  // 2009-03-01T12:34:56Z
    t.erase(std::remove(t.begin(), t.end(), '-'), t.end());
    t.erase(std::remove(t.begin(), t.end(), ':'), t.end());
    return t;
}

}  // namespace

TEST_F(PredictTool, PassesAsJsonAgreeWithASecondBySecondScanFromTwoHomes)
{
    SetEntry(5, 1235880000, 42.0, 6081.2, 98.62);  // a second fresh entry
    WriteSettings(m_settings);
    const MessageSink none = [](const std::string& text) { ADD_FAILURE() << text; };
    struct Home
    {
        std::vector<std::string> args;
        double dLat;
        double dLon;
    };
    const Home homes[] = {
        {{}, 52.0, -8.5},
        {{"--home", "S33 52", "E151 12"},
         ParseCoordinate("S33 52", true, none),
         ParseCoordinate("E151 12", false, none)},
    };
    for (const Home& home : homes) {
        std::vector<std::string> args{"--passes", "--json", "--settings", m_settings, "--at", kAtText};
        args.insert(args.end(), home.args.begin(), home.args.end());
        const RunResult r = Run(args);
        ASSERT_EQ(0, r.nExit) << r.strErr;
        const std::vector<SatellitePass> expected = ScannedPasses(m_stored, home.dLat, home.dLon, kAt, 86400);
        const std::vector<std::string> lines = SplitLines(r.strOut, "\n");
        ASSERT_EQ(expected.size(), lines.size()) << r.strOut;
        ASSERT_GT(expected.size(), 10u);
        for (size_t i = 0; i < lines.size(); ++i) {
            const nlohmann::json j = nlohmann::json::parse(lines[i]);
            const SatellitePass& e = expected[i];
            EXPECT_EQ(SatelliteName(e.nCode), j.at("satellite").get<std::string>());
            EXPECT_EQ(e.nCode, j.at("code").get<int>());
            int64_t aos = 0, tca = 0, los = 0;
            ASSERT_TRUE(ParseUtcTimestamp(j.at("aos").get<std::string>(), aos)) << lines[i];
            ASSERT_TRUE(ParseUtcTimestamp(j.at("tca").get<std::string>(), tca)) << lines[i];
            ASSERT_TRUE(ParseUtcTimestamp(j.at("los").get<std::string>(), los)) << lines[i];
            EXPECT_EQ(e.nAos, aos) << lines[i];
            EXPECT_EQ(e.nTca, tca) << lines[i];
            EXPECT_EQ(e.nLos, los) << lines[i];
            EXPECT_NEAR(e.dMaxElevation, j.at("max_elevation").get<double>(), 0.05) << lines[i];
            EXPECT_NEAR(e.dAosAzimuth, j.at("aos_azimuth").get<double>(), 0.01) << lines[i];
            EXPECT_NEAR(e.dLosAzimuth, j.at("los_azimuth").get<double>(), 0.01) << lines[i];
            EXPECT_EQ(8u, j.size());
        }
        EXPECT_EQ("", r.strErr);
    }
}

TEST_F(PredictTool, PassesAsTextAndAsACalendarFile)
{
    WriteSettings(m_settings);
    const std::string ics = (m_dir / "passes.ics").string();
    const RunResult r = Run({"--passes", "--settings", m_settings, "--at", kAtText, "--hours", "12",
                             "--min-elevation", "1", "--ics", ics});
    ASSERT_EQ(0, r.nExit) << r.strErr;
    CSatelliteTable table;
    m_stored.CopyTableTo(table);
    const std::vector<SatellitePass> passes = FindPasses(table, 52.0, -8.5, kAt, 12 * 3600, 1.0);
    ASSERT_GT(passes.size(), 3u);
    std::string text;
    for (const SatellitePass& p : passes) {
        EXPECT_GE(p.dMaxElevation, 1.0);
        text += Cp1252ToUtf8(FormatPassLine(p)) + "\n";
    }
    EXPECT_EQ(text, r.strOut);

    const std::vector<std::map<std::string, std::string>> events = ReadCalendar(ReadFileText(ics));
    ASSERT_EQ(passes.size(), events.size());
    std::vector<std::string> uids;
    for (size_t i = 0; i < events.size(); ++i) {
        const SatellitePass& p = passes[i];
        auto field = [&](const char* name) {
            auto it = events[i].find(name);
            return it == events[i].end() ? std::string("(missing)") : it->second;
        };
        EXPECT_EQ(CalendarTime(p.nAos), field("DTSTART"));
        EXPECT_EQ(CalendarTime(p.nLos + 1), field("DTEND"));
        EXPECT_EQ(16u, field("DTSTAMP").size());
        char max[8];
        std::snprintf(max, sizeof max, "%.0f", p.dMaxElevation);
        EXPECT_EQ(SatelliteName(p.nCode) + " pass, max " + max + "\xC2\xB0", field("SUMMARY"));
        uids.push_back(field("UID"));
    }
    std::sort(uids.begin(), uids.end());
    EXPECT_EQ(uids.end(), std::adjacent_find(uids.begin(), uids.end())) << "UIDs repeat";
}

TEST_F(PredictTool, PassOptionsAreChecked)
{
    WriteSettings(m_settings);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--json"},
             {"--hours", "3"},
             {"--passes", "--hours", "0"},
             {"--passes", "--hours", "many"},
             {"--passes", "--min-elevation", "-5"},
             {"--passes", "--min-elevation", "91"},
             {"--passes", "--min-elevation"},
             {"--passes", "--watch"},
             {"--passes", "--ics"},
         }) {
        std::vector<std::string> full = args;
        full.insert(full.end(), {"--settings", m_settings});
        const RunResult r = Run(full);
        EXPECT_EQ(2, r.nExit) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_EQ("", r.strOut);
        EXPECT_NE(std::string::npos, r.strErr.find("see --help"));
    }
    const RunResult r =
        Run({"--passes", "--settings", m_settings, "--ics", (m_dir / "no" / "such.ics").string()});
    EXPECT_EQ(1, r.nExit);
    EXPECT_NE(std::string::npos, r.strErr.find("cannot write"));
}
