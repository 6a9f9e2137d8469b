#pragma once
// One station's connection to an MQTT broker over libmosquitto: the broker's
// address as a URL, TLS against the system's or a named CA store, a password
// from the environment, and a worker thread that connects in the background,
// reconnects with backoff after the broker goes away and keeps a retained
// status ("online", "offline" as the last will). Everything that touches the
// broker runs on the worker thread; the hooks are called there.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;

// What a station or collector needs to reach its broker.
struct MqttSettings
{
    std::string strUrl;       // mqtt://[USER@]HOST[:PORT] or mqtts://[USER@]HOST[:PORT]
    std::string strCaFile;    // empty: the system's CA store (mqtts only)
    std::string strStation;   // empty: DefaultStationName()
    std::string strPassword;  // empty: none (taken from HALVEX_MQTT_PASSWORD by the programs)
    // Human-readable news of the connection (refused, lost, queue full, ...);
    // called on any thread. Empty: nothing is said.
    std::function<void(const std::string& text)> onReport;
};

// The parts of a broker URL.
struct MqttUrl
{
    bool bTls = false;
    std::string strUser;  // empty: none
    std::string strHost;
    int nPort = 1883;  // 8883 for mqtts when none is given
};

// False with a reason in error when the text is not a broker URL.
bool ParseMqttUrl(const std::string& url, MqttUrl& parsed, std::string& error);

// A name fit to stand between "halvex/" and "/frames": not empty, at most 64
// bytes, no '/', '+', '#' or control characters.
bool CheckStationName(const std::string& name, std::string& error);

// This computer's host name (as far as it is a valid station name), or
// "station" when it has none.
std::string DefaultStationName();

// The environment variable the programs read the broker password from.
constexpr const char* kMqttPasswordVariable = "HALVEX_MQTT_PASSWORD";

class CMqttLink
{
public:
    enum class State
    {
        Connecting,
        Connected,
        Disconnected,
        Refused
    };

    struct Options
    {
        std::string strClientId;     // empty: one the library makes up
        bool bCleanSession = true;   // false: the broker keeps the session for strClientId
        std::string strStatusTopic;  // empty: no status; else "online" retained, "offline" as will
        int nKeepAlive = 30;         // seconds
    };

    // Called on the worker thread.
    struct Hooks
    {
        std::function<void(mosquitto*)> onConnected;  // after the broker accepted us
        std::function<void(mosquitto*)> onTurn;       // every turn of the loop while connected
        std::function<void(int mid)> onPublished;     // a QoS 1 message was acknowledged
        std::function<void(const std::string& topic, const std::string& payload)> onMessage;
        std::function<void()> onSubscribed;    // the broker acknowledged a subscription
        std::function<void()> onDisconnected;  // the connection is gone (messages in flight are lost)
    };

    CMqttLink(const MqttSettings& settings, const Options& options, const Hooks& hooks);
    ~CMqttLink();
    CMqttLink(const CMqttLink&) = delete;
    CMqttLink& operator=(const CMqttLink&) = delete;

    // Checks the URL and the CA file and starts the worker; never blocks on the network.
    bool Start(std::string& error);
    // Publishes "offline" to the status topic (when connected), disconnects
    // and ends the worker. At most about two seconds.
    void Stop();
    State GetState() const { return m_state.load(); }
    // "connecting to HOST:PORT", "connected to ...", "refused: not authorised", ...
    std::string StateText() const;
    // True once the broker has accepted the connection at least once.
    bool EverConnected() const { return m_bEverConnected.load(); }

private:
    void Run();
    void RunOneConnection();
    void SetState(State state, const std::string& text);
    void WaitBackoff();
    std::string Where() const;

    // libmosquitto callbacks (worker thread).
    static void OnConnect(mosquitto* mosq, void* self, int rc);
    static void OnPublish(mosquitto* mosq, void* self, int mid);
    static void OnMessage(mosquitto* mosq, void* self, const struct mosquitto_message* message);
    static void OnSubscribe(mosquitto* mosq, void* self, int mid, int count, const int* granted);
    static void OnLog(mosquitto* mosq, void* self, int level, const char* text);

    MqttSettings m_settings;
    MqttUrl m_url;
    Options m_options;
    Hooks m_hooks;
    std::thread m_worker;
    std::atomic<bool> m_bStop{false};
    std::atomic<State> m_state{State::Disconnected};
    std::atomic<bool> m_bEverConnected{false};
    mutable std::mutex m_mutex;  // guards m_strStateText and the backoff wait
    std::condition_variable m_cv;
    std::string m_strStateText;
    std::string m_strReported;  // the last text said through onReport
    // Worker thread only.
    std::string m_strLastTlsError;
    bool m_bSessionUp = false;   // this connection was accepted
    bool m_bRefusedNow = false;  // this connection was refused
    int m_nOfflineMid = -1;      // the "offline" status in flight at a clean stop
    bool m_bOfflineDone = false;
    std::chrono::milliseconds m_backoff{500};
};
