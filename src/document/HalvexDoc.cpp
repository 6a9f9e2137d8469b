#include "document/HalvexDoc.h"

#include <cstdio>
#include <cstring>

#include "document/CommandTable.h"
#include "document/DocUi.h"
#include "document/Settings.h"
#include "location/Coordinate.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/SettingsPaths.h"

namespace {

// Stands in for a missing user interface (headless programs): no windows, no
// timers, every dialog cancelled, messages on standard error.
class CNullDocUi final : public IDocUi
{
public:
    void ShowMessage(const std::string& text) override
    {
        std::fprintf(stderr, "halvex3: %s\n", text.c_str());
    }
    bool RunHomeLocationDialog(std::string&, std::string&) override { return false; }
    bool BrowseForFolder(const std::string&, const std::string&, std::string&) override
    {
        return false;
    }
    void SetMainWindowTitle(const std::string&) override {}
    unsigned SetViewTimer(unsigned, unsigned) override { return 0; }
    void KillViewTimer(unsigned) override {}
    void UpdateAllViews() override {}
};

DocEnvironment CompleteEnvironment(const DocEnvironment& env)
{
    static CNullDocUi nullUi;
    DocEnvironment out = env;
    if (!out.pUi)
        out.pUi = &nullUi;
    return out;
}

}  // namespace

CHalvexDoc::CHalvexDoc(const DocEnvironment& env)
    : m_env(CompleteEnvironment(env)),
      m_pOwnedClock(env.pClock ? nullptr : std::make_unique<CSystemClock>()),
      m_pClock(env.pClock ? env.pClock : m_pOwnedClock.get()),
      m_messages(m_table, *m_pClock),
      m_decoder(&m_messages),
      m_chain(m_decoder, m_messages, m_table)
{
    m_messages.m_onRedraw = [this] { UpdateAllViews(); };

    // The capture and processing buffers are members, zeroed above.
    ScanDevices();

    m_bRunning = 0;
    m_bBusy = 0;

    m_strProgramDir = WithTrailingSlash(
        m_env.strProgramDir.empty() ? ExecutableDirectory() : m_env.strProgramDir);
    // Log files go to the user's data directory: the program's own directory
    // is usually not writable on this platform.
    m_messages.m_strLogDirectory = m_env.strDefaultLogDir.empty()
                                       ? DefaultLogDirectory()
                                       : WithTrailingSlash(m_env.strDefaultLogDir);

    m_messages.m_bRequireCrc = 1;
    m_messages.m_bExpandMsgs = 1;
    m_table.Clear();
    m_dHomeLat = 0.0;
    m_dHomeLon = 0.0;
    m_bRecomputeChart = 1;
    m_nViewMode = 0;

    m_strSettingsPath =
        m_env.strSettingsPath.empty() ? DefaultSettingsPath() : m_env.strSettingsPath;
    if (m_env.bLoadSettings)
        LoadSettings(kSettingsKey);

    m_strBrowseStart = m_messages.m_strLogDirectory;

    m_decoder.m_nSkipCount = 0;
    m_decoder.m_frameCheck.m_bCrcTableReady = 0;
}

CHalvexDoc::~CHalvexDoc()
{
    // The device fills the capture buffers on its own thread: it must let go
    // of them before they go away with the document.
    if (m_hWaveIn != nullptr)
        ReleaseCaptureDevice();
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
    if (key.CreateKey(m_strSettingsPath, strKey, &disposition) != reg::ERROR_SUCCESS)
        return;
    if (disposition == reg::REG_OPENED_EXISTING_KEY) {
        StoredSettings s;
        s.nViewMode = m_nViewMode;
        s.nSoundcardOption = m_nSoundcardOption;
        s.bExpandMsgs = m_messages.m_bExpandMsgs;
        s.CopyTableFrom(m_table);
        s.dHomeLat = m_dHomeLat;
        s.dHomeLon = m_dHomeLon;
        s.strLogDirectory = m_messages.m_strLogDirectory;
        s.bWeakSignals = m_bWeakSignals;
        ReadStoredValues(key, s);
        m_nViewMode = s.nViewMode;
        m_nSoundcardOption = s.nSoundcardOption;
        m_messages.m_bExpandMsgs = s.bExpandMsgs;
        s.CopyTableTo(m_table);
        m_dHomeLat = s.dHomeLat;
        m_dHomeLon = s.dHomeLon;
        m_messages.m_strLogDirectory = s.strLogDirectory;
        m_bWeakSignals = s.bWeakSignals;
        m_bWeakSignalsStored = s.bWeakSignalsStored;
    }
    key.Close();
}

void CHalvexDoc::SaveSettings(const std::string& strKey)
{
    reg::CRegKey key;
    if (key.CreateKey(m_strSettingsPath, strKey, nullptr) != reg::ERROR_SUCCESS)
        return;
    StoredSettings s;
    s.nViewMode = m_nViewMode;
    s.nSoundcardOption = m_nSoundcardOption;
    s.bExpandMsgs = m_messages.m_bExpandMsgs;
    s.CopyTableFrom(m_table);
    s.dHomeLat = m_dHomeLat;
    s.dHomeLon = m_dHomeLon;
    s.strLogDirectory = m_messages.m_strLogDirectory;
    s.bWeakSignals = m_bWeakSignals != 0 ? 1 : 0;
    s.bWeakSignalsStored = m_bWeakSignalsStored;
    WriteStoredValues(key, s);
    key.Close();
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
    if (!m_env.pUi->RunHomeLocationDialog(strLatitude, strLongitude))
        return;
    IDocUi* pUi = m_env.pUi;
    auto show = [pUi](const std::string& text) { pUi->ShowMessage(text); };
    m_dHomeLat = ParseCoordinate(strLatitude, true, show);
    m_dHomeLon = ParseCoordinate(strLongitude, false, show);
    m_bRecomputeChart = 1;
}
