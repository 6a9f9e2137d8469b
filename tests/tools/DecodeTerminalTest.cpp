// halvex3-decode started with no file at a terminal reads raw samples from
// it; a newcomer waiting for something to happen is told so, once.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string kDecoder = std::string(HALVEX_BIN_DIR) + "/halvex3-decode";

struct TerminalRun
{
    int nExit = -1;
    std::string strErr;
};

// Runs the decoder with a terminal as standard input (standard output and
// error go to files), types text, then ends the input with Ctrl-D.
TerminalRun RunAtTerminal(const std::string& typed, const char* arg = nullptr)
{
    TerminalRun run;
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return run;
    char errName[] = "/tmp/halvex-decode-tty-XXXXXX";
    const int err = mkstemp(errName);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        dup2(slave, 0);
        const int out = open("/dev/null", O_WRONLY);
        dup2(out, 1);
        dup2(err, 2);
        close(master);
        execl(kDecoder.c_str(), kDecoder.c_str(), arg, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(slave);
    close(err);
    // Type the text and end the input as a user would; Ctrl-D on a line of
    // its own is the end of the input in canonical mode.
    const std::string keys = typed + "\n\x04";
    if (write(master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        ADD_FAILURE() << "cannot type at the terminal";
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        // Keep the terminal's output drained so the program never blocks.
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            char buffer[256];
            if (read(master, buffer, sizeof buffer) < 0)
                break;
        }
    }
    close(master);
    run.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errName);
    std::ostringstream text;
    text << in.rdbuf();
    run.strErr = text.str();
    std::remove(errName);
    return run;
}

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(DecodeAtATerminal, RawInputFromATerminalIsSaidOnce)
{
    for (const char* arg : {static_cast<const char*>(nullptr), "-"}) {
        const TerminalRun run = RunAtTerminal("some typed bytes\nand more", arg);
        EXPECT_EQ(0, run.nExit) << run.strErr;
        EXPECT_EQ(1, CountOf(run.strErr, "halvex3-decode: reading raw samples from the terminal"))
            << run.strErr;
        EXPECT_EQ(1, CountOf(run.strErr, "\n")) << run.strErr;
    }
}
