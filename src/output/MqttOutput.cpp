#include "output/MqttOutput.h"

#include <mosquitto.h>

#include <chrono>
#include <thread>

#include "output/JsonOutput.h"

CMqttOutput::CMqttOutput(const MqttSettings& settings)
    : m_settings(settings),
      m_strStation(settings.strStation.empty() ? DefaultStationName() : settings.strStation)
{
}

CMqttOutput::~CMqttOutput()
{
    if (m_link)
        m_link->Stop();
}

void CMqttOutput::Report(const std::string& text) const
{
    if (m_settings.onReport)
        m_settings.onReport(text);
}

bool CMqttOutput::Start(std::string& error)
{
    if (!CheckStationName(m_strStation, error))
        return false;
    CMqttLink::Options options;
    options.strStatusTopic = "halvex/" + m_strStation + "/status";
    CMqttLink::Hooks hooks;
    hooks.onTurn = [this](mosquitto* mosq) { SendSome(mosq); };
    hooks.onPublished = [this](int mid) { Acknowledged(mid); };
    hooks.onDisconnected = [this] { ConnectionLost(); };
    m_link = std::make_unique<CMqttLink>(m_settings, options, hooks);
    if (!m_link->Start(error)) {
        m_link.reset();
        return false;
    }
    return true;
}

void CMqttOutput::Write(const MessageRecord& record)
{
    Entry entry;
    entry.strPayload = MessageRecordToJson(record, m_strStation);
    bool sayFull = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.size() >= kQueueLimit) {
            // Drop the oldest frame that is not in flight (those in flight
            // may already be at the broker).
            for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
                if (it->nMid < 0) {
                    m_queue.erase(it);
                    ++m_nDropped;
                    break;
                }
            }
            sayFull = !m_bSaidFull;
            m_bSaidFull = true;
        } else if (m_queue.size() < kQueueLimit / 2) {
            m_bSaidFull = false;
        }
        m_queue.push_back(std::move(entry));
    }
    if (sayFull)
        Report("the queue for the broker is full (" + std::to_string(kQueueLimit) +
               " frames): dropping the oldest frames");
}

// Worker thread: hands the next waiting frames to the connection, a few at a
// time, so that they reach the broker in queue order.
void CMqttOutput::SendSome(mosquitto* mosq)
{
    const std::string topic = FramesTopic();
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Entry& entry : m_queue) {
        if (m_nInFlight >= kInFlight)
            break;
        if (entry.nMid >= 0)
            continue;
        int mid = -1;
        const int rc = mosquitto_publish(mosq, &mid, topic.c_str(), static_cast<int>(entry.strPayload.size()),
                                         entry.strPayload.data(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS)
            break;  // the connection is going; the frame stays queued
        entry.nMid = mid;
        ++m_nInFlight;
    }
}

void CMqttOutput::Acknowledged(int mid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (it->nMid == mid) {
            m_queue.erase(it);
            --m_nInFlight;
            ++m_nDelivered;
            return;
        }
    }
}

// Frames in flight on a lost connection are sent again, from the front of
// the queue, on the next one.
void CMqttOutput::ConnectionLost()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Entry& entry : m_queue)
        entry.nMid = -1;
    m_nInFlight = 0;
}

bool CMqttOutput::Finish()
{
    if (m_bFinished)
        return Pending() == 0 && Dropped() == 0;
    m_bFinished = true;
    bool refused = false;
    if (m_link) {
        const auto until = std::chrono::steady_clock::now() + m_finishWait;
        while (Pending() > 0 && std::chrono::steady_clock::now() < until &&
               m_link->GetState() != State::Refused)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        refused = m_link->GetState() == State::Refused;
        m_link->Stop();
    }
    const uint64_t lost = Pending() + Dropped();
    if (lost > 0)
        Report(std::to_string(lost) + (lost == 1 ? " frame" : " frames") +
               " could not be delivered to the broker (" + std::to_string(Dropped()) +
               " dropped from a full queue)");
    return lost == 0 && !refused;
}

CMqttOutput::State CMqttOutput::GetState() const
{
    return m_link ? m_link->GetState() : State::Disconnected;
}

std::string CMqttOutput::StateText() const
{
    return m_link ? m_link->StateText() : "not started";
}

size_t CMqttOutput::Pending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

uint64_t CMqttOutput::Dropped() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nDropped;
}

uint64_t CMqttOutput::Delivered() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nDelivered;
}
