#pragma once
// A private PulseAudio daemon for tests: its own runtime and home folders
// (mode 700) under /tmp, a pipe source "TestCard" (u8, 48 kHz, mono) fed
// through a FIFO, a null sink whose monitor source a capture device list must
// leave out, and a native socket that clients reach through PULSE_SERVER.
// Started as a direct child of the test process and stopped with SIGTERM.
#include <sys/types.h>

#include <string>

class CPulseTestDaemon
{
public:
    CPulseTestDaemon() = default;
    ~CPulseTestDaemon() { Stop(); }
    CPulseTestDaemon(const CPulseTestDaemon&) = delete;
    CPulseTestDaemon& operator=(const CPulseTestDaemon&) = delete;

    // True when a pulseaudio program is on PATH.
    static bool IsInstalled();

    // Starts the daemon and waits until its socket answers; false with the
    // reason (and the daemon's log) in strWhy.
    bool Start(std::string& strWhy);
    // SIGTERM, then wait (SIGKILL after two seconds); removes the folders.
    void Stop();
    bool IsRunning() const { return m_pid > 0; }

    // "unix:/tmp/.../run/native", for PULSE_SERVER.
    std::string ServerAddress() const { return "unix:" + m_strDir + "/run/native"; }
    // The FIFO whose bytes the TestCard source records.
    std::string FifoPath() const { return m_strDir + "/fifo"; }
    const std::string& Dir() const { return m_strDir; }
    // What the daemon has logged so far (for failure messages).
    std::string Log() const;

private:
    std::string m_strDir;
    pid_t m_pid = -1;
};
