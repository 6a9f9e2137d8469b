#pragma once
// Publishes every kept frame to an MQTT broker: the record's JSON object (with
// the station's name) to halvex/<station>/frames with QoS 1, and a retained
// "online"/"offline" on halvex/<station>/status. Frames wait in order in a
// bounded queue while the broker is away and go out in order once it is back;
// only a few are in flight at a time and a frame leaves the queue when the
// broker acknowledges it. Nothing here blocks the caller.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "messages/MessageOutput.h"
#include "network/MqttLink.h"

class CMqttOutput : public IMessageOutput
{
public:
    static constexpr size_t kQueueLimit = 10000;  // frames waiting; beyond it the oldest is dropped
    static constexpr size_t kInFlight = 4;        // frames handed to the broker, not yet acknowledged
    static constexpr int kFinishSeconds = 10;

    using State = CMqttLink::State;

    explicit CMqttOutput(const MqttSettings& settings);
    ~CMqttOutput() override;

    // Checks the settings and starts connecting in the background; false with
    // the reason (bad URL, station name or CA file). Never blocks.
    bool Start(std::string& error);
    // Queues the frame; never blocks.
    void Write(const MessageRecord& record) override;
    // Waits up to kFinishSeconds for the broker to acknowledge every queued
    // frame (less when the broker refused us), says through onReport how many
    // could not be delivered, publishes "offline" and disconnects. False when
    // any frame was not delivered (dropped or still queued) or the broker
    // refused the connection.
    bool Finish() override;

    State GetState() const;
    std::string StateText() const;
    // Frames queued or in flight.
    size_t Pending() const;
    // Frames dropped because the queue was full.
    uint64_t Dropped() const;
    // Frames the broker has acknowledged.
    uint64_t Delivered() const;

    // How long Finish waits for acknowledgements (kFinishSeconds unless set).
    void SetFinishWait(std::chrono::milliseconds wait) { m_finishWait = wait; }

    const std::string& Station() const { return m_strStation; }
    std::string FramesTopic() const { return "halvex/" + m_strStation + "/frames"; }

private:
    struct Entry
    {
        std::string strPayload;
        int nMid = -1;  // message id while in flight, -1 while waiting
    };

    void SendSome(struct mosquitto* mosq);
    void Acknowledged(int mid);
    void ConnectionLost();
    void Report(const std::string& text) const;

    MqttSettings m_settings;
    std::string m_strStation;
    std::unique_ptr<CMqttLink> m_link;
    mutable std::mutex m_mutex;
    std::deque<Entry> m_queue;
    size_t m_nInFlight = 0;
    uint64_t m_nDropped = 0;
    uint64_t m_nDelivered = 0;
    bool m_bSaidFull = false;
    bool m_bFinished = false;
    std::chrono::milliseconds m_finishWait{std::chrono::seconds(kFinishSeconds)};
};
