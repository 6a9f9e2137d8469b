#pragma once
// A private mosquitto broker for tests, on a free port of 127.0.0.1 only, with
// a configuration written here: anonymous plain MQTT, or TLS with a throwaway
// CA and server certificate made with openssl and a password file made with
// mosquitto_passwd. Persistence is on, so subscribers with a kept session get
// what was published while they were away, also across a restart. Started as
// a direct child of the test process (config "user root": as root the broker
// would otherwise drop to a user that cannot read the test's files).
#include <sys/types.h>

#include <chrono>
#include <string>

class CBrokerTestDaemon
{
public:
    struct Config
    {
        bool bTls = false;    // TLS listener with the test CA's server certificate
        std::string strUser;  // with bTls: the one user in the password file
        std::string strPassword;
    };

    CBrokerTestDaemon() = default;
    ~CBrokerTestDaemon();
    CBrokerTestDaemon(const CBrokerTestDaemon&) = delete;
    CBrokerTestDaemon& operator=(const CBrokerTestDaemon&) = delete;

    // The mosquitto program, or empty when it is not installed.
    static std::string Program();

    // Makes the folder, the files and a free port, and starts the broker;
    // false with the reason (and the broker's log) in why.
    bool Start(const Config& config, std::string& why);
    // SIGTERM, then wait (SIGKILL after three seconds). The folder stays.
    void Stop();
    // Starts again on the same port with the same files and stored sessions.
    bool Restart(std::string& why);
    bool IsRunning() const { return m_pid > 0; }

    int Port() const { return m_nPort; }
    // "mqtt://127.0.0.1:PORT" or "mqtts://USER@127.0.0.1:PORT".
    std::string Url() const;
    // The test CA that signed the server certificate, and another CA that did not.
    std::string CaFile() const { return m_strDir + "/ca.crt"; }
    std::string OtherCaFile() const { return m_strDir + "/other-ca.crt"; }
    const std::string& Dir() const { return m_strDir; }
    std::string Log() const;

private:
    bool MakeTlsFiles(std::string& why);
    bool Launch(std::string& why);

    Config m_config;
    std::string m_strDir;
    int m_nPort = 0;
    pid_t m_pid = -1;
};

// A command run through /bin/sh with its output in files; what it printed and
// its exit status.
struct ShellRun
{
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};
ShellRun RunShell(const std::string& command, const std::string& dir);

// A background program (through /bin/sh, stdout and stderr to files in dir),
// for programs that run until they are told to stop.
class CBackgroundProgram
{
public:
    CBackgroundProgram(const std::string& command, const std::string& dir, const std::string& name);
    ~CBackgroundProgram();
    CBackgroundProgram(const CBackgroundProgram&) = delete;
    CBackgroundProgram& operator=(const CBackgroundProgram&) = delete;

    // Sends the signal and waits for the exit status (-1 if it had to be killed).
    int Stop(int signal, std::chrono::milliseconds grace = std::chrono::seconds(15));
    std::string Out() const;
    std::string Err() const;
    // Waits until pred(Out(), Err()) holds; false at the timeout.
    template <class Pred>
    bool WaitFor(Pred pred, std::chrono::milliseconds timeout) const;

private:
    std::string m_strOut, m_strErr;
    pid_t m_pid = -1;
};

template <class Pred>
bool CBackgroundProgram::WaitFor(Pred pred, std::chrono::milliseconds timeout) const
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred(Out(), Err())) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        struct timespec t = {0, 20 * 1000 * 1000};
        nanosleep(&t, nullptr);
    }
    return true;
}

std::string ReadWholeFile(const std::string& path);
