#include "support/BrokerTestDaemon.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

bool Accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

void Sleep(std::chrono::milliseconds ms)
{
    std::this_thread::sleep_for(ms);
}

pid_t Spawn(const std::string& command, const std::string& out, const std::string& err)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
        const int n = open("/dev/null", O_RDONLY);
        if (o < 0 || e < 0 || n < 0)
            _exit(127);
        dup2(n, 0);
        dup2(o, 1);
        dup2(e, 2);
        closefrom(3);  // nothing of the test's (pipes to other children) stays open
        // Its own process group, so that a stop reaches the program, not only the shell.
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits for the child; -1 when it was killed or did not end in time.
int WaitChild(pid_t pid, std::chrono::milliseconds grace)
{
    const auto until = std::chrono::steady_clock::now() + grace;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        Sleep(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ShellRun RunShell(const std::string& command, const std::string& dir)
{
    const std::string out = dir + "/run.out";
    const std::string err = dir + "/run.err";
    const int status =
        std::system(("cd '" + dir + "' && ( " + command + " ) > '" + out + "' 2> '" + err + "'").c_str());
    ShellRun r;
    r.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.strOut = ReadWholeFile(out);
    r.strErr = ReadWholeFile(err);
    return r;
}

CBackgroundProgram::CBackgroundProgram(const std::string& command, const std::string& dir,
                                       const std::string& name)
    : m_strOut(dir + "/" + name + ".out"), m_strErr(dir + "/" + name + ".err")
{
    m_pid = Spawn("cd '" + dir + "' && exec " + command, m_strOut, m_strErr);
}

CBackgroundProgram::~CBackgroundProgram()
{
    if (m_pid > 0)
        Stop(SIGKILL, std::chrono::seconds(2));
}

int CBackgroundProgram::Stop(int signal, std::chrono::milliseconds grace)
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, signal);
    const int status = WaitChild(m_pid, grace);
    m_pid = -1;
    return status;
}

std::string CBackgroundProgram::Out() const
{
    return ReadWholeFile(m_strOut);
}

std::string CBackgroundProgram::Err() const
{
    return ReadWholeFile(m_strErr);
}

CBrokerTestDaemon::~CBrokerTestDaemon()
{
    Stop();
    if (!m_strDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
    }
}

std::string CBrokerTestDaemon::Program()
{
    for (const char* p : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto", "/usr/local/sbin/mosquitto"})
        if (access(p, X_OK) == 0)
            return p;
    return std::string();
}

std::string CBrokerTestDaemon::Url() const
{
    if (m_config.bTls)
        return "mqtts://" + (m_config.strUser.empty() ? std::string() : m_config.strUser + "@") +
               "127.0.0.1:" + std::to_string(m_nPort);
    return "mqtt://127.0.0.1:" + std::to_string(m_nPort);
}

std::string CBrokerTestDaemon::Log() const
{
    return m_strDir.empty() ? std::string() : ReadWholeFile(m_strDir + "/broker.log");
}

bool CBrokerTestDaemon::MakeTlsFiles(std::string& why)
{
    const std::string d = "'" + m_strDir + "'";
    const std::string quiet = " > /dev/null 2>> " + d + "/openssl.log";
    const std::string steps[] = {
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Halvex-Test-CA -keyout " + d +
            "/ca.key -out " + d + "/ca.crt",
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Other-CA -keyout " + d +
            "/other-ca.key -out " + d + "/other-ca.crt",
        "openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout " + d + "/server.key -out " + d +
            "/server.csr",
        "openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.crt -CAkey " + d +
            "/ca.key -CAcreateserial -days 2 -extfile " + d + "/san.ext -out " + d + "/server.crt",
        "mosquitto_passwd -c -b " + d + "/passwords '" + m_config.strUser + "' '" + m_config.strPassword +
            "'",
    };
    std::ofstream(m_strDir + "/san.ext") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    for (const std::string& step : steps) {
        if (std::system((step + quiet).c_str()) != 0) {
            why = "failed: " + step + "\n" + ReadWholeFile(m_strDir + "/openssl.log");
            return false;
        }
    }
    return true;
}

bool CBrokerTestDaemon::Start(const Config& config, std::string& why)
{
    Stop();
    m_config = config;
    if (Program().empty()) {
        why = "mosquitto is not installed";
        return false;
    }
    char templ[] = "/tmp/halvex-broker-XXXXXX";
    if (mkdtemp(templ) == nullptr) {
        why = "cannot make a temporary folder";
        return false;
    }
    m_strDir = templ;
    std::filesystem::create_directories(m_strDir + "/store");
    if (m_config.bTls && !MakeTlsFiles(why))
        return false;
    m_nPort = FreePort();
    std::ofstream conf(m_strDir + "/mosquitto.conf");
    conf << "user root\n"
         << "persistence true\n"
         << "max_queued_messages 20000\n"  // a kept session holds a whole full queue
         << "persistence_location " << m_strDir << "/store/\n"
         << "log_dest file " << m_strDir << "/broker.log\n"
         << "log_type all\n"
         << "listener " << m_nPort << " 127.0.0.1\n";
    if (m_config.bTls) {
        conf << "allow_anonymous false\n"
             << "password_file " << m_strDir << "/passwords\n"
             << "cafile " << m_strDir << "/ca.crt\n"
             << "certfile " << m_strDir << "/server.crt\n"
             << "keyfile " << m_strDir << "/server.key\n";
    } else {
        conf << "allow_anonymous true\n";
    }
    conf.close();
    return Launch(why);
}

bool CBrokerTestDaemon::Launch(std::string& why)
{
    m_pid = Spawn("exec '" + Program() + "' -c '" + m_strDir + "/mosquitto.conf'", m_strDir + "/stdout",
                  m_strDir + "/stderr");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Accepts(m_nPort)) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            why = "mosquitto ended at once:\n" + ReadWholeFile(m_strDir + "/stderr") + Log();
            return false;
        }
        if (std::chrono::steady_clock::now() > until) {
            why = "mosquitto does not listen on port " + std::to_string(m_nPort) + ":\n" + Log();
            Stop();
            return false;
        }
        Sleep(std::chrono::milliseconds(10));
    }
    return true;
}

void CBrokerTestDaemon::Stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    WaitChild(m_pid, std::chrono::seconds(3));
    m_pid = -1;
}

bool CBrokerTestDaemon::Restart(std::string& why)
{
    Stop();
    return Launch(why);
}
