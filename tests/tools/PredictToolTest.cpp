// halvex3-predict run as a program: its lines against the library's rows for
// the same table, home and time; its errors and exit codes.
#include <fcntl.h>
#include <poll.h>
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
#include <sstream>
#include <string>
#include <vector>

#include "HalvexVersion.h"
#include "document/Settings.h"
#include "location/Coordinate.h"
#include "messages/SatelliteTable.h"
#include "orbit/SatelliteRows.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "platform/Registry.h"
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
        SetEntry(9, 1235908000, 10.0, 0.0, 98.7);   // period 0
        SetEntry(40, 1235908000, 0.0, 6000.0, 99.0); // no elements
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
    std::vector<std::string> LibraryDrawings(double homeLat, double homeLon, const std::vector<int64_t>& times,
                                             bool bUtf8 = true)
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
    EXPECT_EQ(1, r.nExit);
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
    EXPECT_EQ("halvex3-predict: The latitude must begin with 'N' or 'S'.  Please try again\n"
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
