// halvex3-decode started with no file at a terminal reads raw samples from
// it; a newcomer waiting for something to happen is told so, once.
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

const std::string kDecoder = std::string(HALVEX_BIN_DIR) + "/halvex3-decode";

// Runs the decoder with a terminal as standard input (standard error to a
// file), types a line and ends the input with Ctrl-D; returns standard error.
std::string RunAtTerminal(const char* arg, int& nExit)
{
    int master = -1;
    int slave = -1;
    char errName[] = "/tmp/halvex-decode-tty-XXXXXX";
    const int err = mkstemp(errName);
    if (err < 0 || openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return "cannot make a terminal";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(slave, 0);
        dup2(open("/dev/null", O_WRONLY), 1);
        dup2(err, 2);
        execl(kDecoder.c_str(), kDecoder.c_str(), arg, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(slave);
    close(err);
    const std::string keys = "some typed bytes\n\x04";
    EXPECT_EQ(static_cast<ssize_t>(keys.size()), write(master, keys.data(), keys.size()));
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(master);
    nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ostringstream text;
    text << std::ifstream(errName).rdbuf();
    std::remove(errName);
    return text.str();
}

}  // namespace

TEST(DecodeAtATerminal, RawInputFromATerminalIsSaidOnce)
{
    for (const char* arg : {static_cast<const char*>(nullptr), "-"}) {
        int nExit = -1;
        const std::string err = RunAtTerminal(arg, nExit);
        EXPECT_EQ(0, nExit) << err;
        EXPECT_EQ(0u, err.find("halvex3-decode: reading raw samples from the terminal")) << err;
        EXPECT_EQ(err.size() - 1, err.find('\n')) << "one line only: " << err;
    }
}
