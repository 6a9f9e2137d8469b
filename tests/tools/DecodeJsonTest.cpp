// halvex3-decode --json: on a recording of every frame kind (with frames that
// fail the check shown) each object carries exactly the text output's lines,
// in the same order, and its other fields agree with them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/BrokerTestDaemon.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = HALVEX_BIN_DIR;

class DecodeJson : public ::testing::Test
{
protected:
    ShellRun Shell(const std::string& cmd) { return RunShell(cmd, m_dir.string()); }
    CTempDir m_tmp{"json"};
    const fs::path m_dir = m_tmp.Path();
};

TEST_F(DecodeJson, EveryFrameKindMatchesTheTextOutputLineForLine)
{
    ASSERT_EQ(Shell("'" + kBin +
                    "/halvex3-synth' --start 2009-05-01T14:03:00Z --frames demo,badcrc "
                    "--noise 4 -o all.wav")
                  .nExit,
              0);
    const std::string common =
        "'" + kBin + "/halvex3-decode' --start 2009-05-01T14:03:00Z --no-require-crc all.wav";
    const ShellRun text = Shell(common);
    ASSERT_EQ(text.nExit, 0) << text.strErr;
    const ShellRun json = Shell(common + " --json");
    ASSERT_EQ(json.nExit, 0) << json.strErr;

    const std::vector<std::string> lines = TextLines(text.strOut);
    size_t next = 0;
    size_t expansions = 0, failed = 0;
    for (const std::string& object : TextLines(json.strOut)) {
        SCOPED_TRACE(object);
        const nlohmann::json j = nlohmann::json::parse(object);  // throws on anything but UTF-8 JSON
        ASSERT_LT(next, lines.size());
        const std::string line = j.at("line");
        EXPECT_EQ(line, lines[next++]);
        // The hex is the line's digits with the separators taken out (the
        // middle group is empty for short frames, so compare the long form).
        const std::string hex = j.at("hex");
        const std::string digits = line.substr(0, line.find(" ["));
        std::string joined;
        for (char c : digits)
            if (c != ' ')
                joined += c;
        EXPECT_EQ(hex.substr(0, joined.size()), joined);
        EXPECT_EQ(line.substr(line.find('[') + 1, 4), hex.substr(hex.size() - 4));
        const bool ok = j.at("crc_ok");
        EXPECT_EQ(ok, line.find("calc CRC") == std::string::npos);
        failed += ok ? 0 : 1;
        // "2009-05-01T14:03:02Z" against "... 2009-05-01 14:03:02"
        std::string time = j.at("time");
        ASSERT_EQ(time.size(), 20u);
        time[10] = ' ';
        EXPECT_EQ(line.substr(line.size() - 19), time.substr(0, 19));
        if (j.contains("expansion")) {
            ASSERT_LT(next, lines.size());
            EXPECT_EQ(j["expansion"].get<std::string>(), lines[next++]);
            ++expansions;
        }
        EXPECT_FALSE(j.contains("station"));
    }
    EXPECT_EQ(next, lines.size());
    EXPECT_EQ(expansions, 9u);  // six bulletins, a date-time, two status summaries
    EXPECT_GE(failed, 1u);
    // The degree sign arrives as UTF-8 in both.
    EXPECT_NE(json.strOut.find("\xC2\xB0"), std::string::npos);

    const ShellRun named = Shell(common + " --json --station 'Gr\xC3\xBCnwald 1'");
    ASSERT_EQ(named.nExit, 0);
    for (const std::string& object : TextLines(named.strOut))
        EXPECT_EQ(nlohmann::json::parse(object).at("station"), "Gr\xC3\xBCnwald 1");
}

TEST_F(DecodeJson, NewOptionsRefuseWhatDoesNotFit)
{
    for (const std::string args :
         {"--json --cp1252", "--station x", "--mqtt http://broker", "--mqtt mqtt://", "--mqtt mqtt://h:99999",
          "--mqtt mqtt://user:password@h", "--mqtt mqtt://h --mqtt-cafile ca.crt", "--json --station a/b",
          "--json --station '#'", "--mqtt", "--json=1"}) {
        SCOPED_TRACE(args);
        const ShellRun r = Shell("'" + kBin + "/halvex3-decode' " + args + " < /dev/null");
        EXPECT_EQ(r.nExit, 2);
        EXPECT_EQ(std::count(r.strErr.begin(), r.strErr.end(), '\n'), 1);
        EXPECT_EQ(r.strErr.rfind("halvex3-decode: ", 0), 0u);
        EXPECT_EQ(r.strErr.find("password@"), std::string::npos);
        EXPECT_TRUE(r.strOut.empty());
    }
    const ShellRun unreadable = Shell(
        "'" + kBin + "/halvex3-decode' --mqtt mqtts://127.0.0.1:1 --mqtt-cafile missing.crt < /dev/null");
    EXPECT_EQ(unreadable.nExit, 1);
    EXPECT_NE(unreadable.strErr.find("cannot read the CA file missing.crt"), std::string::npos)
        << unreadable.strErr;
}

}  // namespace
