#include "network/MqttLink.h"

#include <mosquitto.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

std::once_flag g_libraryStarted;

void StartLibrary()
{
    std::call_once(g_libraryStarted, [] { mosquitto_lib_init(); });
}

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool HostCharsOk(const std::string& host)
{
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

// CONNACK return codes of MQTT 3.1.1.
std::string RefusalText(int rc)
{
    switch (rc) {
        case 1:
            return "unacceptable protocol version";
        case 2:
            return "client identifier rejected";
        case 3:
            return "server unavailable";
        case 4:
            return "bad user name or password";
        case 5:
            return "not authorised (wrong user name or password?)";
        default:
            return "refusal code " + std::to_string(rc);
    }
}

}  // namespace

bool ParseMqttUrl(const std::string& url, MqttUrl& parsed, std::string& error)
{
    MqttUrl out;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        out.bTls = true;
        out.nPort = 8883;
    } else {
        error = "broker URL '" + url + "' must begin with mqtt:// or mqtts://";
        return false;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.find_first_of("/?#") != std::string::npos) {
        error = "broker URL '" + url + "' has a path; only [USER@]HOST[:PORT] may follow the scheme";
        return false;
    }
    const size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        out.strUser = rest.substr(0, at);
        rest = rest.substr(at + 1);
        if (out.strUser.find(':') != std::string::npos) {
            error = "no password in the broker URL, please: give it in the environment variable " +
                    std::string(kMqttPasswordVariable);
            return false;
        }
        if (out.strUser.empty()) {
            error = "broker URL '" + url + "' has an empty user name before '@'";
            return false;
        }
    }
    std::string port;
    if (!rest.empty() && rest[0] == '[') {  // [IPv6 address]
        const size_t close = rest.find(']');
        if (close == std::string::npos) {
            error = "broker URL '" + url + "' has no ']' after the address";
            return false;
        }
        out.strHost = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') {
                error = "broker URL '" + url + "' has text after the address";
                return false;
            }
            port = after.substr(1);
            if (port.empty()) {
                error = "broker URL '" + url + "' has an empty port";
                return false;
            }
        }
        if (out.strHost.empty() ||
            out.strHost.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
            error = "broker URL '" + url + "' has a bad IPv6 address";
            return false;
        }
    } else {
        const size_t colon = rest.find(':');
        out.strHost = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) {
                error = "broker URL '" + url + "' has an empty port";
                return false;
            }
        }
        if (out.strHost.empty()) {
            error = "broker URL '" + url + "' names no host";
            return false;
        }
        if (!HostCharsOk(out.strHost)) {
            error = "broker URL '" + url + "' has a bad host name '" + out.strHost + "'";
            return false;
        }
    }
    if (!port.empty()) {
        if (!AllDigits(port) || port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535) {
            error = "broker URL '" + url + "' has a bad port '" + port + "' (1 to 65535)";
            return false;
        }
        out.nPort = std::stoi(port);
    }
    parsed = out;
    return true;
}

bool CheckStationName(const std::string& name, std::string& error)
{
    if (name.empty()) {
        error = "the station name is empty";
        return false;
    }
    if (name.size() > 64) {
        error = "the station name is longer than 64 bytes";
        return false;
    }
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '+' || c == '#' || u < 0x20 || u == 0x7F) {
            error = "the station name '" + name + "' may not hold '/', '+', '#' or control characters";
            return false;
        }
    }
    return true;
}

std::string DefaultStationName()
{
    char host[256] = {};
    std::string why;
    if (::gethostname(host, sizeof host - 1) == 0 && CheckStationName(host, why))
        return host;
    return "station";
}

CMqttLink::CMqttLink(const MqttSettings& settings, const Options& options, const Hooks& hooks)
    : m_settings(settings), m_options(options), m_hooks(hooks)
{
}

CMqttLink::~CMqttLink()
{
    Stop();
}

bool CMqttLink::Start(std::string& error)
{
    if (m_worker.joinable()) {
        error = "already started";
        return false;
    }
    if (!ParseMqttUrl(m_settings.strUrl, m_url, error))
        return false;
    if (!m_settings.strCaFile.empty()) {
        if (!m_url.bTls) {
            error = "a CA file is for mqtts:// URLs only";
            return false;
        }
        std::ifstream ca(m_settings.strCaFile);
        if (!ca) {
            error = "cannot read the CA file " + m_settings.strCaFile;
            return false;
        }
    }
    StartLibrary();
    m_bStop = false;
    SetState(State::Connecting, "connecting to " + Where());
    m_worker = std::thread([this] { Run(); });
    return true;
}

void CMqttLink::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::string CMqttLink::Where() const
{
    const bool v6 = m_url.strHost.find(':') != std::string::npos;
    return (v6 ? "[" + m_url.strHost + "]" : m_url.strHost) + ":" + std::to_string(m_url.nPort);
}

std::string CMqttLink::StateText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strStateText;
}

void CMqttLink::SetState(State state, const std::string& text)
{
    bool say = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state = state;
        m_strStateText = text;
        // Trouble is said once, not at every try; a connection is said only
        // when it ends a time of trouble.
        if (state == State::Disconnected || state == State::Refused) {
            say = text != m_strReported;
            m_strReported = text;
        } else if (state == State::Connected && !m_strReported.empty()) {
            say = true;
            m_strReported.clear();
        }
    }
    if (say && m_settings.onReport)
        m_settings.onReport(text);
}

void CMqttLink::WaitBackoff()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, m_backoff, [this] { return m_bStop.load(); });
    m_backoff = std::min<std::chrono::milliseconds>(m_backoff * 2, std::chrono::seconds(30));
}

void CMqttLink::Run()
{
    while (!m_bStop) {
        RunOneConnection();
        if (m_bStop)
            break;
        WaitBackoff();
    }
}

void CMqttLink::OnConnect(mosquitto* mosq, void* self, int rc)
{
    CMqttLink& link = *static_cast<CMqttLink*>(self);
    if (rc != 0) {
        link.m_bRefusedNow = true;
        link.SetState(State::Refused,
                      "the broker at " + link.Where() + " refused the connection: " + RefusalText(rc));
        return;
    }
    link.m_bSessionUp = true;
    link.m_bEverConnected = true;
    {
        std::lock_guard<std::mutex> lock(link.m_mutex);
        link.m_backoff = std::chrono::milliseconds(500);
    }
    if (!link.m_options.strStatusTopic.empty())
        mosquitto_publish(mosq, nullptr, link.m_options.strStatusTopic.c_str(), 6, "online", 1, true);
    link.SetState(State::Connected, "connected to " + link.Where());
    if (link.m_hooks.onConnected)
        link.m_hooks.onConnected(mosq);
}

void CMqttLink::OnPublish(mosquitto*, void* self, int mid)
{
    CMqttLink& link = *static_cast<CMqttLink*>(self);
    if (mid == link.m_nOfflineMid) {
        link.m_bOfflineDone = true;
        return;
    }
    if (link.m_hooks.onPublished)
        link.m_hooks.onPublished(mid);
}

void CMqttLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    CMqttLink& link = *static_cast<CMqttLink*>(self);
    if (link.m_hooks.onMessage && message->topic) {
        const char* data = static_cast<const char*>(message->payload);
        link.m_hooks.onMessage(
            message->topic,
            data ? std::string(data, static_cast<size_t>(message->payloadlen)) : std::string());
    }
}

void CMqttLink::OnSubscribe(mosquitto*, void* self, int, int, const int*)
{
    CMqttLink& link = *static_cast<CMqttLink*>(self);
    if (link.m_hooks.onSubscribed)
        link.m_hooks.onSubscribed();
}

void CMqttLink::OnLog(mosquitto*, void* self, int level, const char* text)
{
    CMqttLink& link = *static_cast<CMqttLink*>(self);
    if ((level & MOSQ_LOG_ERR) && text && std::strstr(text, "SSL"))
        link.m_strLastTlsError = text;
}

void CMqttLink::RunOneConnection()
{
    mosquitto* mosq = mosquitto_new(m_options.strClientId.empty() ? nullptr : m_options.strClientId.c_str(),
                                    m_options.bCleanSession, this);
    if (!mosq) {
        SetState(State::Disconnected, std::string("cannot make an MQTT client: ") + std::strerror(errno));
        return;
    }
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq, &CMqttLink::OnConnect);
    mosquitto_publish_callback_set(mosq, &CMqttLink::OnPublish);
    mosquitto_message_callback_set(mosq, &CMqttLink::OnMessage);
    mosquitto_subscribe_callback_set(mosq, &CMqttLink::OnSubscribe);
    mosquitto_log_callback_set(mosq, &CMqttLink::OnLog);
    if (!m_url.strUser.empty())
        mosquitto_username_pw_set(mosq, m_url.strUser.c_str(),
                                  m_settings.strPassword.empty() ? nullptr : m_settings.strPassword.c_str());
    if (!m_options.strStatusTopic.empty())
        mosquitto_will_set(mosq, m_options.strStatusTopic.c_str(), 7, "offline", 1, true);
    if (m_url.bTls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (m_settings.strCaFile.empty()) {
            mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            rc = mosquitto_tls_set(mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        } else {
            rc = mosquitto_tls_set(mosq, m_settings.strCaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            SetState(State::Refused, std::string("cannot set up TLS: ") + mosquitto_strerror(rc));
            mosquitto_destroy(mosq);
            return;
        }
    }

    m_bSessionUp = false;
    m_bRefusedNow = false;
    m_strLastTlsError.clear();
    m_nOfflineMid = -1;
    m_bOfflineDone = false;
    int rc = mosquitto_connect_async(mosq, m_url.strHost.c_str(), m_url.nPort, m_options.nKeepAlive);
    if (rc == MOSQ_ERR_SUCCESS) {
        while (!m_bStop) {
            rc = mosquitto_loop(mosq, 50, 1);
            if (rc != MOSQ_ERR_SUCCESS || m_bRefusedNow)
                break;
            if (m_bSessionUp && m_hooks.onTurn)
                m_hooks.onTurn(mosq);
        }
    }
    const int savedErrno = errno;

    if (m_bStop && m_bSessionUp && rc == MOSQ_ERR_SUCCESS) {
        // A clean end: the status says so, then goodbye (no last will).
        if (!m_options.strStatusTopic.empty() &&
            mosquitto_publish(mosq, &m_nOfflineMid, m_options.strStatusTopic.c_str(), 7, "offline", 1,
                              true) == MOSQ_ERR_SUCCESS) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (!m_bOfflineDone && std::chrono::steady_clock::now() < until &&
                   mosquitto_loop(mosq, 50, 1) == MOSQ_ERR_SUCCESS) {
            }
        }
        mosquitto_disconnect(mosq);
        mosquitto_loop(mosq, 50, 1);
    } else if (!m_bRefusedNow) {
        std::string why;
        if (!m_strLastTlsError.empty() || rc == MOSQ_ERR_TLS) {
            if (m_strLastTlsError.find("certificate verify failed") != std::string::npos) {
                SetState(State::Refused, "the certificate of the broker at " + Where() +
                                             " is not trusted (certificate verify failed)");
            } else {
                SetState(State::Disconnected,
                         "TLS with the broker at " + Where() + " failed" +
                             (m_strLastTlsError.empty() ? "" : ": " + m_strLastTlsError));
            }
        } else if (!m_bStop) {
            why = rc == MOSQ_ERR_ERRNO ? std::strerror(savedErrno) : mosquitto_strerror(rc);
            if (!why.empty() && why.back() == '.')  // the library's texts end in a full stop
                why.pop_back();
            SetState(State::Disconnected,
                     (m_bSessionUp ? "lost the broker at " : "cannot reach the broker at ") + Where() + ": " +
                         why + "; trying again");
        }
    }
    if (m_bSessionUp && m_hooks.onDisconnected)
        m_hooks.onDisconnected();
    mosquitto_destroy(mosq);
}
