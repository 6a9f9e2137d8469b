#include "document/HalvexDoc.h"

#include <cstdio>
#include <cstring>

#include <algorithm>

#include "document/CommandTable.h"
#include "document/DocUi.h"
#include "document/Settings.h"
#include "location/Coordinate.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/SettingsPaths.h"
#include "platform/Shell.h"

namespace {

// Stands in for a missing user interface (headless programs): no windows, no
// timers, every dialog cancelled, messages on standard error.
class CNullDocUi final : public IDocUi
{
public:
    explicit CNullDocUi(std::string strProgram) : m_strProgram(std::move(strProgram)) {}
    void ShowMessage(const std::string& text) override
    {
        std::fprintf(stderr, "%s: %s\n", m_strProgram.c_str(), text.c_str());
    }
    bool RunHomeLocationDialog(std::string&, std::string&) override { return false; }
    bool BrowseForFolder(const std::string&, const std::string&, std::string&) override { return false; }
    void SetMainWindowTitle(const std::string&) override {}
    unsigned SetViewTimer(unsigned, unsigned) override { return 0; }
    void KillViewTimer(unsigned) override {}
    void UpdateAllViews() override {}

private:
    std::string m_strProgram;
};

DocEnvironment CompleteEnvironment(const DocEnvironment& env, std::unique_ptr<IDocUi>& pOwnedUi)
{
    DocEnvironment out = env;
    if (!out.pUi) {
        pOwnedUi = std::make_unique<CNullDocUi>(env.strProgramName);
        out.pUi = pOwnedUi.get();
    }
    return out;
}

}  // namespace

CHalvexDoc::CHalvexDoc(const DocEnvironment& env)
    : m_env(CompleteEnvironment(env, m_pOwnedUi)),
      m_pOwnedClock(env.pClock ? nullptr : std::make_unique<CSystemClock>()),
      m_pClock(env.pClock ? env.pClock : m_pOwnedClock.get()),
      m_messages(m_table, *m_pClock),
      m_decoder(&m_messages),
      m_chain(m_decoder, m_messages, m_table),
      m_capture(m_env.pWaveIn, *m_env.pUi)
{
    m_messages.m_onRedraw = [this] { UpdateAllViews(); };

    // The capture and processing buffers are members, zeroed above.
    ScanDevices();

    m_bRunning = 0;
    m_bBusy = 0;

    m_strProgramDir =
        WithTrailingSlash(m_env.strProgramDir.empty() ? ExecutableDirectory() : m_env.strProgramDir);
    // Log files go to the user's data directory: the program's own directory
    // is usually not writable on this platform.
    m_messages.m_strLogDirectory =
        m_env.strDefaultLogDir.empty() ? DefaultLogDirectory() : WithTrailingSlash(m_env.strDefaultLogDir);

    m_messages.m_bRequireCrc = 1;
    m_messages.m_bExpandMsgs = 1;
    m_table.Clear();
    m_dHomeLat = 0.0;
    m_dHomeLon = 0.0;
    m_bRecomputeChart = 1;
    m_nViewMode = 0;

    m_strSettingsPath = m_env.strSettingsPath.empty() ? DefaultSettingsPath() : m_env.strSettingsPath;
    if (m_env.bLoadSettings)
        LoadSettings(kSettingsKey);

    m_strBrowseStart = m_messages.m_strLogDirectory;

    m_decoder.m_nSkipCount = 0;
    m_decoder.m_frameCheck.m_bCrcTableReady = 0;
}

CHalvexDoc::~CHalvexDoc()
{
    // The capture (declared last) lets go of its device as it goes.
    if (m_env.bSaveSettings)
        SaveSettings(kSettingsKey);
}

void CHalvexDoc::OnCloseDocument()
{
    if (m_bRunning)
        OnProcessStop();
}

void CHalvexDoc::ProcessSamples(const uint8_t* pSamples, size_t nCount)
{
    m_chain.SetWeakSignals(m_bWeakSignals != 0);
    m_chain.ProcessBlock(pSamples, nCount);
}

void CHalvexDoc::UpdateAllViews()
{
    m_env.pUi->UpdateAllViews();
}

// --- Capture -------------------------------------------------------------------

namespace {

constexpr unsigned kPollTimerId = 1;
constexpr unsigned kPollPeriodMs = 300;
constexpr unsigned kRefreshTimerId = 2;
constexpr unsigned kRefreshPeriodMs = 2000;

const char* const kTitleRunning = "Halvex from Norq - processing live signals";
const char* const kTitleStopped = "Halvex from Norq - processing stopped";

}  // namespace

void CHalvexDoc::OnProcessStart()
{
    // The command is disabled while running; a second Start reaching here
    // anyway would hand the running device's buffers to a new one.
    if (m_bRunning || m_capture.IsOpen())
        return;

    const int nOption = std::clamp(m_nSoundcardOption, 0, 4);
    const unsigned nDevice =
        m_nDeviceId[nOption] < 0 ? wavein::WAVE_MAPPER : static_cast<unsigned>(m_nDeviceId[nOption]);
    if (m_capture.Start(nDevice)) {
        // Running.
        m_bRunning = 1;
        m_env.pUi->SetMainWindowTitle(kTitleRunning);
        m_nPollTimer = m_env.pUi->SetViewTimer(kPollTimerId, kPollPeriodMs);
        m_nRefreshTimer = m_env.pUi->SetViewTimer(kRefreshTimerId, kRefreshPeriodMs);
        UpdateAllViews();

        // A fresh run: the decoder restarts its ring index and rows, the
        // message lines start empty.
        m_decoder.ResetForStart();
        m_messages.ClearForStart();
    }

    // Home location check, after success and failure alike.
    if (m_dHomeLat == 0.0 && m_dHomeLon == 0.0)
        OnOptionsHomeLocation();
}

void CHalvexDoc::PollCapture()
{
    if (!m_capture.TakeFilledBuffer())
        return;
    // A tick dispatched from inside a decoding pass takes the buffer and
    // re-queues it but does not decode.
    if (m_bBusy)
        return;
    m_bBusy = 1;
    if (m_bRunning)
        ProcessSamples(m_capture.m_byProcessing, kBufferBytes);
    m_bBusy = 0;
}

void CHalvexDoc::OnProcessStop()
{
    if (m_bRunning) {
        m_bRunning = 0;
        if (m_capture.IsOpen())
            m_capture.Release();
        m_env.pUi->KillViewTimer(m_nRefreshTimer);
        m_env.pUi->KillViewTimer(m_nPollTimer);
    }
    m_env.pUi->SetMainWindowTitle(kTitleStopped);
}

void CHalvexDoc::ReportWaveError(const std::string& strStep, unsigned nCode)
{
    m_capture.ReportWaveError(strStep, nCode);
}

std::string CHalvexDoc::WaveErrorText(unsigned nCode)
{
    return CCapture::WaveErrorText(nCode);
}

void CHalvexDoc::OnOptionsMixer()
{
    // The digit is the option number, not the device id of the option.
    static const char* const kParams[] = {"-R -D0", "-R -D1", "-R -D2", "-R -D3"};
    const char* pszParams =
        m_nSoundcardOption >= 0 && m_nSoundcardOption <= 3 ? kParams[m_nSoundcardOption] : "/r";
    if (m_env.pShell != nullptr)
        m_env.pShell->ShellExecute("open", "sndvol32", pszParams);
}

// --- Device scan ---------------------------------------------------------------

void CHalvexDoc::ScanDevices()
{
    m_strDeviceName[0] = "Automatic";
    for (int k = 1; k < 5; ++k)
        m_strDeviceName[k].clear();
    m_nSoundcardOption = 4;
    for (int& id : m_nDeviceId)
        id = -1;

    wavein::IWaveIn* pWaveIn = m_env.pWaveIn;
    if (!pWaveIn)
        return;
    for (unsigned d = 0; d < pWaveIn->GetNumDevs(); ++d) {
        wavein::WaveInCaps caps;
        if (pWaveIn->GetDevCaps(d, &caps, wavein::kWaveInCapsSize) != wavein::MMSYSERR_NOERROR)
            continue;
        if (d < 4) {
            m_strDeviceName[d + 1] =
                std::string(caps.szPname, strnlen(caps.szPname, wavein::kMaxPnameLen - 1));
            m_nDeviceId[d + 1] = static_cast<int>(d);
        }
    }
}

// --- Settings ------------------------------------------------------------------

void CHalvexDoc::LoadSettings(const std::string& strKey)
{
    reg::CRegKey key;
    uint32_t disposition = 0;
    if (key.CreateKey(m_strSettingsPath, strKey, &disposition) != reg::ERROR_SUCCESS) {
        NoteSettingsProblem(key.Notice(), true);
        return;
    }
    if (disposition == reg::REG_OPENED_EXISTING_KEY) {
        StoredSettings s;
        s.nViewMode = m_nViewMode;
        s.nSoundcardOption = m_nSoundcardOption;
        s.bExpandMsgs = m_messages.m_bExpandMsgs;
        s.CopyTableFrom(m_table);
        s.dHomeLat = m_dHomeLat;
        s.dHomeLon = m_dHomeLon;
        s.strLogDirectory = m_messages.m_strLogDirectory;
        s.strMqttUrl = m_strMqttUrl;
        s.strStation = m_strStation;
        s.bWeakSignals = m_bWeakSignals;
        ReadStoredValues(key, s);
        m_nViewMode = s.nViewMode;
        m_nSoundcardOption = s.nSoundcardOption;
        m_messages.m_bExpandMsgs = s.bExpandMsgs;
        s.CopyTableTo(m_table);
        m_dHomeLat = s.dHomeLat;
        m_dHomeLon = s.dHomeLon;
        m_messages.m_strLogDirectory = s.strLogDirectory;
        m_strMqttUrl = s.strMqttUrl;
        m_strStation = s.strStation;
        m_bNetworkStored = s.bNetworkStored;
        m_bWeakSignals = s.bWeakSignals;
        m_bWeakSignalsStored = s.bWeakSignalsStored;
    }
    key.Close();
    NoteSettingsProblem(key.Notice(), true);
}

void CHalvexDoc::NoteSettingsProblem(const std::string& strNotice, bool bAtLoad)
{
    if (strNotice.empty())
        return;
    std::fprintf(stderr, "%s: %s\n", m_env.strProgramName.c_str(), strNotice.c_str());
    if (bAtLoad)
        m_strSettingsNotice += (m_strSettingsNotice.empty() ? "" : "\n") + strNotice;
}

void CHalvexDoc::SaveSettings(const std::string& strKey)
{
    reg::CRegKey key;
    if (key.CreateKey(m_strSettingsPath, strKey, nullptr) != reg::ERROR_SUCCESS) {
        NoteSettingsProblem(key.Notice(), false);
        return;
    }
    StoredSettings s;
    s.nViewMode = m_nViewMode;
    s.nSoundcardOption = m_nSoundcardOption;
    s.bExpandMsgs = m_messages.m_bExpandMsgs;
    s.CopyTableFrom(m_table);
    s.dHomeLat = m_dHomeLat;
    s.dHomeLon = m_dHomeLon;
    s.strLogDirectory = m_messages.m_strLogDirectory;
    s.strMqttUrl = m_strMqttUrl;
    s.strStation = m_strStation;
    s.bNetworkStored = m_bNetworkStored;
    s.bWeakSignals = m_bWeakSignals != 0 ? 1 : 0;
    s.bWeakSignalsStored = m_bWeakSignalsStored;
    WriteStoredValues(key, s);
    key.Close();
    NoteSettingsProblem(key.Notice(), false);
}

// --- Commands ------------------------------------------------------------------

bool CHalvexDoc::OnCommand(int nId)
{
    const DocCommand* pCommand = FindDocCommand(nId);
    if (!pCommand || !pCommand->pfnHandler)
        return false;
    pCommand->pfnHandler(*this);
    return true;
}

bool CHalvexDoc::OnUpdateCommand(int nId, ICmdUI& cmdUi)
{
    const DocCommand* pCommand = FindDocCommand(nId);
    if (!pCommand || !pCommand->pfnUpdate)
        return false;
    pCommand->pfnUpdate(*this, cmdUi);
    return true;
}

void CHalvexDoc::OnDirectoriesLogFiles()
{
    m_strBrowseStart = m_messages.m_strLogDirectory;
    std::string strChosen;
    if (!m_env.pUi->BrowseForFolder("Choose the directory for Halvex log files", m_strBrowseStart,
                                    strChosen) ||
        strChosen.empty())
        return;
    m_messages.m_strLogDirectory = WithTrailingSlash(strChosen);
}

void CHalvexDoc::OnOptionsHomeLocation()
{
    std::string strLatitude = FormatLatitude(m_dHomeLat);
    std::string strLongitude = FormatLongitude(m_dHomeLon);
    IDocUi* pUi = m_env.pUi;
    auto show = [pUi](const std::string& text) { pUi->ShowMessage(text); };
    // A typing slip must not cost the stored place: the dialog comes back with
    // the texts as typed until both read or the user cancels.
    while (pUi->RunHomeLocationDialog(strLatitude, strLongitude)) {
        double dLat = 0.0;
        double dLon = 0.0;
        const bool bLatOk = ReadCoordinate(strLatitude, true, show, dLat);
        const bool bLonOk = ReadCoordinate(strLongitude, false, show, dLon);
        if (bLatOk && bLonOk) {
            m_dHomeLat = dLat;
            m_dHomeLon = dLon;
            m_bRecomputeChart = 1;
            return;
        }
    }
}

// --- Station network -------------------------------------------------------------

void CHalvexDoc::OnOptionsStationNetwork()
{
    std::string strUrl = m_strMqttUrl;
    std::string strStation = m_strStation;
    if (!m_env.pUi->RunStationNetworkDialog(strUrl, strStation))
        return;
    m_strMqttUrl = strUrl;
    m_strStation = strStation;
    ApplyStationNetwork();
}

bool CHalvexDoc::ApplyStationNetwork()
{
    std::string strError;
    if (m_station.Configure(m_strMqttUrl, m_strStation, strError)) {
        if (m_station.IsPublishing())
            m_messages.m_onRecord = [this](const MessageRecord& record) { m_station.Write(record); };
        else
            m_messages.m_onRecord = nullptr;
        return true;
    }
    m_messages.m_onRecord = nullptr;
    m_env.pUi->ShowMessage("Station network: " + strError);
    return false;
}
