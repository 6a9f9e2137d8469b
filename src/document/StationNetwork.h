#pragma once
// The desktop program's part in a station network: every kept frame goes to
// the configured MQTT broker through one publisher, which is replaced when
// the broker or the station's name changes. Nothing here waits for the
// network: a publisher that is replaced or closed finishes (up to ten seconds
// for the broker's acknowledgements) on a thread of its own, and
// WaitForStationNetwork, at the very end of the program, waits for those.
//
// CStationTest is the Test button of the Station network dialog: one
// connection in the background that publishes nothing, read by polling.
#include <cstddef>
#include <memory>
#include <string>

struct MessageRecord;
class CMqttOutput;
class CMqttLink;

class CStationNetwork
{
public:
    enum class State
    {
        Off,
        Connecting,
        Connected,
        Disconnected,
        Refused
    };

    CStationNetwork();
    ~CStationNetwork();
    CStationNetwork(const CStationNetwork&) = delete;
    CStationNetwork& operator=(const CStationNetwork&) = delete;

    // Publishes to strUrl as strStation (empty: the host name) from now on;
    // the same settings as before keep the connection, other ones start a
    // new one. An empty URL stops publishing. False with the reason when the
    // URL or the name cannot be used; publishing is then off. The password
    // comes from HALVEX_MQTT_PASSWORD.
    bool Configure(const std::string& strUrl, const std::string& strStation, std::string& strError);
    bool IsPublishing() const { return m_pOutput != nullptr; }
    // Queues the frame for the broker; does nothing when not publishing.
    void Write(const MessageRecord& record);

    State GetState() const;
    // Frames waiting for the broker.
    size_t Pending() const;
    // Short text for the status bar: empty when off, else for instance
    // "MQTT connected" or "MQTT offline, 12 waiting".
    std::string StatusText() const;
    // One line on the connection ("connected to host:1883", the broker's
    // refusal, ...); empty when off.
    std::string StateText() const;

private:
    std::unique_ptr<CMqttOutput> m_pOutput;
    std::string m_strUrl;
    std::string m_strStation;
};

class CStationTest
{
public:
    CStationTest();
    ~CStationTest();
    CStationTest(const CStationTest&) = delete;
    CStationTest& operator=(const CStationTest&) = delete;

    // Starts connecting in the background; false with the reason when the
    // URL or the station's name cannot be used.
    bool Start(const std::string& strUrl, const std::string& strStation, std::string& strError);
    // Connecting until the broker answers; Disconnected while it cannot be
    // reached (the test keeps trying); Connected or Refused are final.
    CStationNetwork::State GetState() const;
    std::string StateText() const;

private:
    std::unique_ptr<CMqttLink> m_pLink;
};

// Waits for the publishers and tests that are finishing in the background
// (each at most about twelve seconds). For the program's end.
void WaitForStationNetwork();
