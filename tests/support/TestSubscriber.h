#pragma once
// A subscriber for broker tests, straight on libmosquitto: connects to
// 127.0.0.1, subscribes with QoS 1 and collects every message in arrival
// order. With a client id it keeps its session (clean session off), so it
// also gets what was published while the broker was restarting; the library
// reconnects by itself.
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

class CTestSubscriber
{
public:
    struct Message
    {
        std::string strTopic;
        std::string strPayload;
        bool bRetained = false;
    };

    // clientId empty: a clean session.
    explicit CTestSubscriber(const std::string& clientId = std::string());
    ~CTestSubscriber();
    CTestSubscriber(const CTestSubscriber&) = delete;
    CTestSubscriber& operator=(const CTestSubscriber&) = delete;

    // TLS with this CA, as this user (all empty: plain MQTT).
    struct Login
    {
        std::string strCaFile, strUser, strPassword;
    };

    // Connects, subscribes and waits for the subscription's acknowledgement.
    bool Subscribe(int port, const std::string& topic, std::string& why, const Login& login = Login());
    std::vector<Message> Messages() const;
    // Payloads of the messages on the topic, in arrival order.
    std::vector<std::string> Payloads(const std::string& topic) const;
    // Waits until at least n messages arrived on the topic.
    bool WaitForCount(const std::string& topic, size_t n, std::chrono::milliseconds timeout) const;

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
    static void OnMessage(mosquitto*, void* self, const struct mosquitto_message* message);

    mosquitto* m_mosq = nullptr;
    std::string m_strTopic;
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    int m_nSubscribed = 0;
};
