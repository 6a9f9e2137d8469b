// halvex3-decode on damaged input and broken surroundings: a cut-off or lying
// sound file, a stream that ends early, a reader that goes away, a log
// directory that cannot be written. It decodes what it can, says what went
// wrong on standard error, and keeps the settings and log it was given.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "document/Settings.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

const std::string kBin = HALVEX_BIN_DIR;
const char* const kStart = "2009-05-01T14:03:00Z";

struct RunResult
{
    int status = -1;
    std::string out, err;
};

class DecodeFaultTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pTmp = std::make_unique<CTempDir>("decfault");
        s_dir = s_pTmp->Path();
        // Six bulletins, a stamp, two summaries, a short and a long frame.
        const std::string cmd = kBin + "/halvex3-synth --start " + kStart + " -o " +
                                (s_dir / "rec.wav").string() + " --expect " +
                                (s_dir / "expect.txt").string() + " && " + kBin + "/halvex3-synth --start " +
                                kStart + " -o - > " + (s_dir / "rec.raw").string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        s_expected = TextLines(ReadFileText(s_dir / "expect.txt"));
        ASSERT_EQ(s_expected.size(), 20u);
    }
    static void TearDownTestSuite() { s_pTmp.reset(); }

    // Runs a shell command line; the decoder's own exit status is written by
    // the command to the file "status" when it sits in a pipeline.
    RunResult Shell(const std::string& command)
    {
        const fs::path out = s_dir / "out.txt", err = s_dir / "err.txt";
        const std::string full =
            "cd " + s_dir.string() + " && { " + command + " ; } > " + out.string() + " 2> " + err.string();
        RunResult r;
        const int raw = std::system(("bash -c '" + full + "'").c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadFileText(out);
        r.err = ReadFileText(err);
        return r;
    }
    std::string Decode(const std::string& args)
    {
        return kBin + "/halvex3-decode --cp1252 --start " + kStart + " " + args;
    }

    // The lines decoded are the first lines expected, at least `atLeast` of them.
    void ExpectPrefix(const std::string& out, size_t atLeast)
    {
        const auto got = TextLines(out);
        ASSERT_GE(got.size(), atLeast) << out;
        ASSERT_LE(got.size(), s_expected.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], s_expected[i]) << "line " << i;
    }

    static std::unique_ptr<CTempDir> s_pTmp;
    static fs::path s_dir;
    static std::vector<std::string> s_expected;
};

std::unique_ptr<CTempDir> DecodeFaultTest::s_pTmp;
fs::path DecodeFaultTest::s_dir;
std::vector<std::string> DecodeFaultTest::s_expected;

}  // namespace

TEST_F(DecodeFaultTest, CutOffFileDecodesWhatItHoldsAndSaysSo)
{
    const std::string whole = ReadFileText(s_dir / "rec.wav");
    std::ofstream(s_dir / "cut.wav", std::ios::binary) << whole.substr(0, whole.size() / 2);
    const RunResult r = Shell(Decode("cut.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cut.wav"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ends early"), std::string::npos) << r.err;
    ExpectPrefix(r.out, 6);
    EXPECT_LT(TextLines(r.out).size(), s_expected.size());
}

TEST_F(DecodeFaultTest, HeadersThatLieAreRefusedByName)
{
    const std::string whole = ReadFileText(s_dir / "rec.wav");
    const size_t fmt = whole.find("fmt ");
    ASSERT_NE(fmt, std::string::npos);
    struct Case
    {
        const char* name;
        size_t offset;
        std::string bytes;
    };
    const Case cases[] = {
        {"no-channels.wav", fmt + 10, std::string("\0\0", 2)},
        {"rate-7.wav", fmt + 12, std::string("\7\0\0\0", 4)},
        {"rate-huge.wav", fmt + 12, std::string("\xff\xff\xff\x7f", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = whole;
        bad.replace(c.offset, c.bytes.size(), c.bytes);
        std::ofstream(s_dir / c.name, std::ios::binary) << bad;
        const RunResult r = Shell(Decode(c.name));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(std::string("cannot read ") + c.name), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // A data chunk that claims more than the file holds is a cut-off file.
    std::string longer = whole;
    const size_t data = whole.find("data");
    longer[data + 7] = 0x7F;
    std::ofstream(s_dir / "long-data.wav", std::ios::binary) << longer;
    const RunResult r = Shell(Decode("long-data.wav"));
    EXPECT_EQ(r.out, ReadFileText(s_dir / "expect.txt")) << "every frame is still there";
}

TEST_F(DecodeFaultTest, StandardInputThatEndsEarlyDecodesWhatCame)
{
    // A stream that simply ends is a normal end of input.
    RunResult r = Shell("head -c 500000 rec.raw | " + Decode("-"));
    EXPECT_EQ(r.status, 0) << r.err;
    ExpectPrefix(r.out, 8);

    // 16-bit samples that stop in the middle of one are reported.
    r = Shell("head -c 1000001 rec.raw | " + Decode("-t s16le -r 24000 -"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("16-bit"), std::string::npos) << r.err;
}

TEST_F(DecodeFaultTest, AReaderThatGoesAwayDoesNotCostTheStoredTable)
{
    fs::remove(s_dir / "settings.reg");
    // The output is a pipe whose reader is already gone (as after "| head -n 1"
    // once head has ended), so every write breaks, whatever the timing.
    const RunResult r = Shell(
        "python3 -c \"import os, subprocess, sys; r, w = os.pipe(); os.close(r); "
        "sys.exit(subprocess.call(sys.argv[1:], stdout=w))\" " +
        Decode("--settings settings.reg rec.wav"));
    EXPECT_EQ(r.status, 1) << "not killed by the broken pipe";
    EXPECT_NE(r.err.find("cannot write the output"), std::string::npos) << r.err;

    StoredSettings s;
    ASSERT_EQ(ReadStoredSettings((s_dir / "settings.reg").string(), s), SettingsRead::Loaded);
    int withElements = 0;
    for (double eql : s.dEql)
        withElements += eql != 0.0 ? 1 : 0;
    EXPECT_EQ(withElements, 6) << "the six bulletins were stored";
}

TEST_F(DecodeFaultTest, ALogThatCannotBeWrittenIsReportedAndTheLinesStillPrinted)
{
    fs::create_directories(s_dir / "full");
    fs::remove(s_dir / "full" / "halvex3log20090501.txt");
    fs::create_symlink("/dev/full", s_dir / "full" / "halvex3log20090501.txt");
    RunResult r = Shell(Decode("--log-dir full rec.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("20 lines could not be written to the log files in full"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, ReadFileText(s_dir / "expect.txt"));

    std::ofstream(s_dir / "plain") << "a file, not a directory";
    r = Shell(Decode("--log-dir plain rec.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileText(s_dir / "plain"), "a file, not a directory");

    r = Shell(Decode("--log-dir logs rec.wav"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileText(s_dir / "logs" / "halvex3log20090501.txt"), ReadFileText(s_dir / "expect.txt"));
}
