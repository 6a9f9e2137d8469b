// The desktop opener and mixer, against stand-in programs on a private PATH
// that write down how they were called.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/DesktopShell.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

class DesktopShellTest : public ::testing::Test
{
protected:
    // A program that appends its name and each argument on a line of calls.log.
    void AddProgram(const std::string& name)
    {
        fs::path p = m_dir / name;
        std::ofstream(p) << "#!/bin/sh\n"
                            "{ basename \"$0\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; echo --; } "
                            ">> \"$(dirname \"$0\")/calls.log\"\n";
        fs::permissions(p, fs::perms::owner_all);
    }

    // The lines the stand-ins wrote, once the first call is complete.
    std::vector<std::string> WaitForCalls()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(m_dir / "calls.log");
            std::vector<std::string> lines;
            std::string line;
            while (std::getline(in, line))
                lines.push_back(line);
            if (!lines.empty() && lines.back() == "--")
                return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    CDesktopShell Shell() { return CDesktopShell(m_dir.string()); }

    CTempDir m_tmp{"shell"};
    fs::path m_dir = m_tmp.Path();
};

}  // namespace

TEST_F(DesktopShellTest, OpenPassesThePathToXdgOpenUntouched)
{
    AddProgram("xdg-open");
    CDesktopShell shell = Shell();
    const std::string tricky = (m_dir / "log files; $(touch pwned) `id` 'q'.txt").string();
    ASSERT_TRUE(shell.ShellExecute("open", tricky, ""));
    EXPECT_EQ(WaitForCalls(), (std::vector<std::string>{"xdg-open", tricky, "--"}));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(m_dir / "pwned"));
}

TEST_F(DesktopShellTest, OpenLeavesNoChildBehind)
{
    AddProgram("xdg-open");
    CDesktopShell shell = Shell();
    ASSERT_TRUE(shell.ShellExecute("open", "https://example.org/", ""));
    ASSERT_FALSE(WaitForCalls().empty());
    int status = 0;
    // The helper shell was reaped and the program is not our child: no zombie.
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(DesktopShellTest, MixerPrefersPavucontrolOnItsInputTab)
{
    AddProgram("pavucontrol");
    AddProgram("gnome-control-center");
    AddProgram("alsamixer");
    AddProgram("x-terminal-emulator");
    CDesktopShell shell = Shell();
    // The card-selecting parameters have no Linux counterpart and are dropped.
    ASSERT_TRUE(shell.ShellExecute("open", "sndvol32", "-R -D2"));
    EXPECT_EQ(WaitForCalls(), (std::vector<std::string>{"pavucontrol", "--tab=4", "--"}));
}

TEST_F(DesktopShellTest, MixerFallsBackInOrder)
{
    AddProgram("gnome-control-center");
    AddProgram("alsamixer");
    AddProgram("x-terminal-emulator");
    CDesktopShell shell = Shell();
    EXPECT_EQ(shell.CommandFor("open", "sndvol32", "/r"),
              (std::vector<std::string>{(m_dir / "gnome-control-center").string(), "sound"}));

    fs::remove(m_dir / "gnome-control-center");
    EXPECT_EQ(shell.CommandFor("open", "sndvol32", "/r"),
              (std::vector<std::string>{(m_dir / "x-terminal-emulator").string(), "-e",
                                        (m_dir / "alsamixer").string()}));
    ASSERT_TRUE(shell.ShellExecute("open", "sndvol32", "/r"));
    std::vector<std::string> calls = WaitForCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "x-terminal-emulator");
    EXPECT_EQ(calls[1], "-e");

    // A terminal without alsamixer serves nothing.
    fs::remove(m_dir / "alsamixer");
    EXPECT_TRUE(shell.CommandFor("open", "sndvol32", "/r").empty());
    EXPECT_FALSE(shell.ShellExecute("open", "sndvol32", "/r"));
}

TEST_F(DesktopShellTest, AFailureNamesWhatIsMissing)
{
    CDesktopShell shell = Shell();
    EXPECT_FALSE(shell.ShellExecute("open", "/tmp/halvex3.html", ""));
    const std::string open = shell.LastFailure();
    EXPECT_NE(open.find("xdg-open"), std::string::npos) << open;
    EXPECT_NE(open.find("/tmp/halvex3.html"), std::string::npos) << open;
    EXPECT_FALSE(shell.ShellExecute("open", "sndvol32", "/r"));
    const std::string mixer = shell.LastFailure();
    for (const char* name : {"pavucontrol", "gnome-control-center", "alsamixer"})
        EXPECT_NE(mixer.find(name), std::string::npos) << mixer;
    // A success leaves nothing to report.
    AddProgram("xdg-open");
    EXPECT_TRUE(shell.ShellExecute("open", "/tmp/halvex3.html", ""));
    EXPECT_EQ(shell.LastFailure(), "");
    WaitForCalls();
}

TEST_F(DesktopShellTest, NothingOnThePathMeansFalse)
{
    CDesktopShell shell = Shell();
    EXPECT_FALSE(shell.ShellExecute("open", "sndvol32", "-R -D0"));
    EXPECT_FALSE(shell.ShellExecute("open", "/tmp/halvex3.html", ""));
    // A file of that name that cannot be run does not count.
    std::ofstream(m_dir / "xdg-open") << "#!/bin/sh\n";
    fs::permissions(m_dir / "xdg-open", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(shell.FindProgram("xdg-open"), "");
    EXPECT_FALSE(shell.ShellExecute("open", "/tmp/halvex3.html", ""));
    // Unknown verbs are not guessed at.
    AddProgram("xdg-open");
    EXPECT_FALSE(shell.ShellExecute("print", "/tmp/halvex3.html", ""));
    EXPECT_TRUE(shell.CommandFor("open", "", "").empty());
}
