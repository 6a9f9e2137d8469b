#include "gui/AppServices.h"

#include <csignal>

#include "platform/DesktopShell.h"
#include "platform/FileWaveIn.h"
#include "platform/PulseWaveIn.h"
#include "platform/SettingsPaths.h"
#include "platform/Shell.h"

namespace {

volatile std::sig_atomic_t s_bStopSignal = 0;

extern "C" void OnStopSignal(int)
{
    s_bStopSignal = 1;
}

}  // namespace

std::unique_ptr<wavein::IWaveIn> MakeWaveIn(const std::string& strInput)
{
    if (!strInput.empty())
        return std::make_unique<CFileWaveIn>(strInput, 1.0);
    return std::make_unique<CPulseWaveIn>();
}

DocEnvironment MakeDocEnvironment(IDocUi* pUi, wavein::IWaveIn* pWaveIn, IShell* pShell,
                                  const std::string& strSettingsPath)
{
    DocEnvironment env;
    env.pUi = pUi;
    env.pWaveIn = pWaveIn;
    env.pShell = pShell;
    env.strSettingsPath = strSettingsPath;
    env.strProgramDir = ExecutableDirectory();
    return env;
}

void ApplyDocOptions(CHalvexDoc& doc, int nViewMode, const std::string& strLogDir, bool bWeakSignals)
{
    // As if chosen under Options > Decoder: kept in the settings.
    if (bWeakSignals)
        doc.m_bWeakSignals = 1;
    if (nViewMode >= 0 && nViewMode <= 4)
        doc.m_nViewMode = nViewMode;
    if (!strLogDir.empty()) {
        // A chosen folder exists; one named on the command line may not yet.
        MakeDirectories(strLogDir);
        doc.m_messages.m_strLogDirectory = WithTrailingSlash(strLogDir);
        doc.m_strBrowseStart = doc.m_messages.m_strLogDirectory;
    }
}

bool ApplyStationOptions(CHalvexDoc& doc, const std::string& strMqttUrl, const std::string& strStation)
{
    if (!strMqttUrl.empty())
        doc.m_strMqttUrl = strMqttUrl;
    if (!strStation.empty())
        doc.m_strStation = strStation;
    return doc.ApplyStationNetwork();
}

void InstallStopSignals()
{
    struct sigaction sa
    {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool StopSignalRaised()
{
    return s_bStopSignal != 0;
}

std::unique_ptr<IShell> MakeShell()
{
    return std::make_unique<CDesktopShell>();
}
