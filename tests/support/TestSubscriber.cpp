#include "support/TestSubscriber.h"

#include <mosquitto.h>

#include <thread>

CTestSubscriber::CTestSubscriber(const std::string& clientId)
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new(clientId.empty() ? nullptr : clientId.c_str(), clientId.empty(), this);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &CTestSubscriber::OnConnect);
    mosquitto_subscribe_callback_set(m_mosq, &CTestSubscriber::OnSubscribe);
    mosquitto_message_callback_set(m_mosq, &CTestSubscriber::OnMessage);
    mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
}

CTestSubscriber::~CTestSubscriber()
{
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, true);
    mosquitto_destroy(m_mosq);
}

void CTestSubscriber::OnConnect(mosquitto* mosq, void* self, int rc)
{
    CTestSubscriber& s = *static_cast<CTestSubscriber*>(self);
    if (rc == 0)
        mosquitto_subscribe(mosq, nullptr, s.m_strTopic.c_str(), 1);
}

void CTestSubscriber::OnSubscribe(mosquitto*, void* self, int, int, const int*)
{
    CTestSubscriber& s = *static_cast<CTestSubscriber*>(self);
    std::lock_guard<std::mutex> lock(s.m_mutex);
    ++s.m_nSubscribed;
}

void CTestSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    CTestSubscriber& s = *static_cast<CTestSubscriber*>(self);
    Message m;
    m.strTopic = message->topic;
    m.strPayload.assign(static_cast<const char*>(message->payload), static_cast<size_t>(message->payloadlen));
    m.bRetained = message->retain;
    std::lock_guard<std::mutex> lock(s.m_mutex);
    s.m_messages.push_back(std::move(m));
}

bool CTestSubscriber::Subscribe(int port, const std::string& topic, std::string& why, const Login& login)
{
    m_strTopic = topic;
    if (!login.strUser.empty())
        mosquitto_username_pw_set(m_mosq, login.strUser.c_str(), login.strPassword.c_str());
    if (!login.strCaFile.empty())
        mosquitto_tls_set(m_mosq, login.strCaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    const int rc = mosquitto_connect(m_mosq, "127.0.0.1", port, 30);
    if (rc != MOSQ_ERR_SUCCESS) {
        why = std::string("test subscriber cannot connect: ") + mosquitto_strerror(rc);
        return false;
    }
    mosquitto_loop_start(m_mosq);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_nSubscribed > 0)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    why = "test subscriber: no acknowledgement of the subscription";
    return false;
}

std::vector<CTestSubscriber::Message> CTestSubscriber::Messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<std::string> CTestSubscriber::Payloads(const std::string& topic) const
{
    std::vector<std::string> out;
    for (const Message& m : Messages())
        if (m.strTopic == topic)
            out.push_back(m.strPayload);
    return out;
}

bool CTestSubscriber::WaitForCount(const std::string& topic, size_t n,
                                   std::chrono::milliseconds timeout) const
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (Payloads(topic).size() < n) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
