#include "document/StationNetwork.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "network/MqttLink.h"
#include "output/MqttOutput.h"

namespace {

// Threads that finish and free connections the program no longer uses, so
// that the user interface never waits for a broker. Joined by
// WaitForStationNetwork or, failing that, at exit.
class CBackgroundClosing
{
public:
    ~CBackgroundClosing() { JoinAll(); }

    void Run(std::function<void()> work)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        JoinFinished();
        auto done = std::make_shared<std::atomic<bool>>(false);
        m_jobs.push_back({std::thread([work = std::move(work), done]() mutable {
                              work();
                              work = nullptr;  // frees the connection on this thread too
                              done->store(true);
                          }),
                          done});
    }

    void JoinAll()
    {
        std::list<Job> jobs;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            jobs.swap(m_jobs);
        }
        for (Job& job : jobs)
            job.thread.join();
    }

private:
    struct Job
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void JoinFinished()
    {
        for (auto it = m_jobs.begin(); it != m_jobs.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = m_jobs.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex m_mutex;
    std::list<Job> m_jobs;
};

CBackgroundClosing& BackgroundClosing()
{
    static CBackgroundClosing closing;
    return closing;
}

MqttSettings SettingsFor(const std::string& strUrl, const std::string& strStation)
{
    MqttSettings settings;
    settings.strUrl = strUrl;
    settings.strStation = strStation;
    if (const char* password = std::getenv(kMqttPasswordVariable))
        settings.strPassword = password;
    // News of the connection comes on the publisher's thread: the terminal
    // (or the service's journal) is the one place that takes it from there.
    settings.onReport = [](const std::string& text) { std::fprintf(stderr, "halvex3: %s\n", text.c_str()); };
    return settings;
}

CStationNetwork::State FromLink(CMqttLink::State state)
{
    switch (state) {
        case CMqttLink::State::Connecting:
            return CStationNetwork::State::Connecting;
        case CMqttLink::State::Connected:
            return CStationNetwork::State::Connected;
        case CMqttLink::State::Disconnected:
            return CStationNetwork::State::Disconnected;
        case CMqttLink::State::Refused:
            return CStationNetwork::State::Refused;
    }
    return CStationNetwork::State::Disconnected;
}

}  // namespace

// --- CStationNetwork -------------------------------------------------------------

CStationNetwork::CStationNetwork() = default;

CStationNetwork::~CStationNetwork()
{
    std::string unused;
    Configure("", "", unused);
}

bool CStationNetwork::Configure(const std::string& strUrl, const std::string& strStation,
                                std::string& strError)
{
    if (m_pOutput && strUrl == m_strUrl && strStation == m_strStation)
        return true;
    if (m_pOutput) {
        // Whatever is still queued gets its ten seconds, away from the caller.
        std::shared_ptr<CMqttOutput> pOld(std::move(m_pOutput));
        BackgroundClosing().Run([pOld] { pOld->Finish(); });
    }
    m_strUrl.clear();
    m_strStation.clear();
    if (strUrl.empty())
        return true;

    auto pOutput = std::make_unique<CMqttOutput>(SettingsFor(strUrl, strStation));
    if (!pOutput->Start(strError))
        return false;
    m_pOutput = std::move(pOutput);
    m_strUrl = strUrl;
    m_strStation = strStation;
    return true;
}

void CStationNetwork::Write(const MessageRecord& record)
{
    if (m_pOutput)
        m_pOutput->Write(record);
}

CStationNetwork::State CStationNetwork::GetState() const
{
    return m_pOutput ? FromLink(m_pOutput->GetState()) : State::Off;
}

size_t CStationNetwork::Pending() const
{
    return m_pOutput ? m_pOutput->Pending() : 0;
}

std::string CStationNetwork::StatusText() const
{
    if (!m_pOutput)
        return {};
    std::string text;
    switch (GetState()) {
        case State::Off:
            return {};
        case State::Connecting:
            text = "MQTT connecting";
            break;
        case State::Connected:
            text = "MQTT connected";
            break;
        case State::Disconnected:
            text = "MQTT offline";
            break;
        case State::Refused:
            text = "MQTT refused";
            break;
    }
    // A frame or two in flight is normal; a backlog is worth showing.
    const size_t nPending = Pending();
    if (nPending > CMqttOutput::kInFlight)
        text += ", " + std::to_string(nPending) + " waiting";
    return text;
}

std::string CStationNetwork::StateText() const
{
    return m_pOutput ? m_pOutput->StateText() : std::string();
}

// --- CStationTest ----------------------------------------------------------------

CStationTest::CStationTest() = default;

CStationTest::~CStationTest()
{
    if (m_pLink) {
        std::shared_ptr<CMqttLink> pLink(std::move(m_pLink));
        BackgroundClosing().Run([pLink] { pLink->Stop(); });
    }
}

bool CStationTest::Start(const std::string& strUrl, const std::string& strStation, std::string& strError)
{
    const std::string station = strStation.empty() ? DefaultStationName() : strStation;
    if (!CheckStationName(station, strError))
        return false;
    MqttSettings settings = SettingsFor(strUrl, station);
    settings.onReport = nullptr;  // the dialog shows the state itself
    // No status topic: a test must not tell the network the station is on.
    auto pLink = std::make_unique<CMqttLink>(settings, CMqttLink::Options{}, CMqttLink::Hooks{});
    if (!pLink->Start(strError))
        return false;
    m_pLink = std::move(pLink);
    return true;
}

CStationNetwork::State CStationTest::GetState() const
{
    return m_pLink ? FromLink(m_pLink->GetState()) : CStationNetwork::State::Off;
}

std::string CStationTest::StateText() const
{
    return m_pLink ? m_pLink->StateText() : std::string();
}

void WaitForStationNetwork()
{
    BackgroundClosing().JoinAll();
}
