#pragma once
// Brokers that are not there, on 127.0.0.1 only. CSilentListener takes TCP
// connections (the kernel completes them from its backlog) and never says a
// word: a client waits for an MQTT answer that does not come, as behind a
// firewall that swallows packets. ClosedLocalPort() gives a port on which
// nothing listens: connecting is refused at once. Header-only, so window and
// headless test binaries can both use it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

class CSilentListener
{
public:
    CSilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t len = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_nPort = ntohs(addr.sin_port);
    }
    ~CSilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CSilentListener(const CSilentListener&) = delete;
    CSilentListener& operator=(const CSilentListener&) = delete;

    bool IsListening() const { return m_fd >= 0; }
    int Port() const { return m_nPort; }
    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(m_nPort); }

    // A port that was free a moment ago and has no listener now.
    static int ClosedLocalPort()
    {
        int port = 0;
        {
            CSilentListener probe;
            port = probe.Port();
        }
        return port;
    }

private:
    int m_fd = -1;
    int m_nPort = 0;
};
