#include "support/PulseTestDaemon.h"
#include "support/TestFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace {

bool OnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty())
            continue;
        std::string full = dir + "/" + name;
        if (access(full.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// The socket file appears at bind(), a moment before the daemon listens:
// ready means a connection is accepted.
bool Accepts(const std::string& socketPath)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof(addr.sun_path))
        return false;
    std::copy(socketPath.begin(), socketPath.end(), addr.sun_path);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    close(fd);
    return ok;
}

}  // namespace

std::string CPulseTestDaemon::Log() const
{
    return m_strDir.empty() ? std::string() : ReadFileText(m_strDir + "/pulse.log");
}

bool CPulseTestDaemon::IsInstalled()
{
    return OnPath("pulseaudio");
}

bool CPulseTestDaemon::Start(std::string& strWhy)
{
    Stop();
    char templ[] = "/tmp/halvex-pulse-XXXXXX";
    if (mkdtemp(templ) == nullptr) {
        strWhy = "cannot make a temporary folder";
        return false;
    }
    m_strDir = templ;
    const std::string home = m_strDir + "/home";
    const std::string run = m_strDir + "/run";
    mkdir(home.c_str(), 0700);
    mkdir(run.c_str(), 0700);
    chmod(m_strDir.c_str(), 0700);
    unlink(FifoPath().c_str());  // an old FIFO makes the pipe source fail silently

    // The socket is loaded last, so once it exists the sources exist too.
    const std::string script = m_strDir + "/test.pa";
    {
        std::ofstream pa(script);
        pa << "load-module module-null-sink sink_name=testsink sink_properties=device.description=TestSink\n"
           << "load-module module-pipe-source file=" << FifoPath()
           << " format=u8 rate=48000 channels=1 source_name=testsrc"
              " source_properties=device.description=TestCard\n"
           << "set-default-source testsrc\n"
           << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << run << "/native\n";
    }

    std::vector<std::string> args = {"pulseaudio",
                                     "-n",
                                     "-F",
                                     script,
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--use-pid-file=no",
                                     "--realtime=no",
                                     "--high-priority=no",
                                     "--log-target=file:" + m_strDir + "/pulse.log"};
    std::vector<std::string> env = {"HOME=" + home, "XDG_RUNTIME_DIR=" + run};
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("HOME=", 0) == 0 || v.rfind("XDG_RUNTIME_DIR=", 0) == 0 || v.rfind("PULSE_", 0) == 0)
            continue;
        env.push_back(v);
    }
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        strWhy = "cannot start pulseaudio";
        return false;
    }
    m_pid = pid;

    const std::string socket = run + "/native";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            strWhy = "pulseaudio exited: " + ReadFileText(m_strDir + "/pulse.log");
            return false;
        }
        struct stat st
        {};
        if (stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && stat(FifoPath().c_str(), &st) == 0 &&
            Accepts(socket))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    strWhy = "pulseaudio did not open its socket: " + ReadFileText(m_strDir + "/pulse.log");
    Stop();
    return false;
}

void CPulseTestDaemon::Stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }
    if (!m_strDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
        m_strDir.clear();
    }
}
