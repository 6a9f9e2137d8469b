#include "gui/HalvexApp.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include <wx/dialog.h>
#include <wx/modalhook.h>

#include "document/CommandIds.h"
#include "document/HalvexDoc.h"
#include "document/ReportingShell.h"
#include "document/Settings.h"
#include "gui/AboutDlg.h"
#include "gui/AppPaths.h"
#include "gui/AppServices.h"
#include "gui/CommandMap.h"
#include "gui/DocUiWx.h"
#include "gui/MainFrame.h"
#include "platform/Shell.h"
#include "platform/WaveIn.h"

// Knows every modal dialog and box whose loop is running, native message
// boxes included (they are no top-level windows of the toolkit's list).
class CHalvexApp::CModalTracker final : public wxModalDialogHook
{
public:
    int Enter(wxDialog* pDialog) override
    {
        m_open.insert(pDialog);
        return wxID_NONE;
    }
    void Exit(wxDialog* pDialog) override { m_open.erase(pDialog); }
    bool AnyOpen() const { return !m_open.empty(); }

private:
    std::set<wxDialog*> m_open;
};

namespace {

// A second of asking dialogs to end (ten signal polls) before ending anyway.
constexpr int kStopTicksBeforeForcedEnd = 10;

}  // namespace

CHalvexApp::CHalvexApp() : m_strAboutText("Halvex3 version 2.1"), m_signalTimer(this)
{
    SetAppName("halvex3");
    SetAppDisplayName("Halvex");
    Bind(wxEVT_MENU, &CHalvexApp::OnAppAbout, this, WxIdOfResource(IDR_APP_ABOUT));
    Bind(wxEVT_TIMER, &CHalvexApp::OnSignalPoll, this, m_signalTimer.GetId());
}

CHalvexApp::~CHalvexApp()
{
    DestroyDocument();
}

bool CHalvexApp::OnInit()
{
    InstallStopSignals();
    m_pModalTracker = std::make_unique<CModalTracker>();
    m_pModalTracker->Register();
    if (!CreateMainWindow(m_options))
        return false;
    // Signals only raise a flag; this turns it into a window close.
    m_signalTimer.Start(100);
    return true;
}

int CHalvexApp::OnExit()
{
    m_signalTimer.Stop();
    DestroyDocument();
    return wxApp::OnExit();
}

bool CHalvexApp::CreateMainWindow(const AppOptions& options, std::unique_ptr<wavein::IWaveIn> pWaveIn,
                                  std::unique_ptr<IShell> pShell)
{
    DestroyDocument();
    m_pFrame = nullptr;
    m_pWaveIn = pWaveIn ? std::move(pWaveIn) : MakeWaveIn(options.strInput);
    m_pShell = pShell ? std::move(pShell) : MakeShell();
    m_pUi = std::make_unique<CWxDocUi>();
    // Help and the mixer say what is missing when nothing could be started.
    m_pReportingShell = std::make_unique<CReportingShell>(*m_pShell, *m_pUi);
    m_pDoc = std::make_unique<CHalvexDoc>(
        MakeDocEnvironment(m_pUi.get(), m_pWaveIn.get(), m_pReportingShell.get(), options.strSettings));
    ApplyDocOptions(*m_pDoc, options.nViewMode, options.strLogDir, options.bWeakSignals);
    ApplyStationOptions(*m_pDoc, options.strMqttUrl, options.strStation);

    auto* pFrame = new CMainFrame(*m_pDoc, *m_pUi, m_pReportingShell.get());
    // The chart's box names only the file; the terminal learns where it was looked for.
    if (const std::string strMissing = MissingDataFileReport("globe.dat"); !strMissing.empty())
        std::fprintf(stderr, "%s\n", strMissing.c_str());
    if (!pFrame->Create(FindDataFile("globe.dat"))) {
        pFrame->Destroy();
        DestroyDocument();
        return false;
    }
    m_pFrame = pFrame;
    pFrame->m_onDocumentClosed = [this] {
        m_pFrame = nullptr;
        DestroyDocument();
    };
    SetTopWindow(pFrame);
    pFrame->Show();
    pFrame->Update();

    if (!m_pDoc->SettingsNotice().empty()) {
        // The settings file could not be read, or was damaged and kept aside:
        // the user hears of it once the window is up.
        CallAfter([this] {
            if (m_pDoc && m_pUi)
                m_pUi->ShowMessage(m_pDoc->SettingsNotice());
        });
    }
    if (options.bStart) {
        // Once the window is up, as if the user chose Process > Start.
        CallAfter([this] {
            if (m_pFrame) {
                wxCommandEvent start(wxEVT_MENU, WxIdOfResource(ID_PROCESS_START));
                start.SetEventObject(m_pFrame);
                m_pFrame->ProcessWindowEvent(start);
            }
        });
    }
    return true;
}

void CHalvexApp::DestroyDocument()
{
    if (m_pDoc) {
        m_pDoc->OnCloseDocument();
        m_pDoc.reset();
    }
    // The user interface and the shell stay: the closing window may still
    // be on its way out.
    m_pWaveIn.reset();
}

void CHalvexApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg dlg(m_pFrame);
    dlg.m_strVersion = m_strAboutText;
    dlg.ShowModal();
}

bool CHalvexApp::EndOpenDialogs()
{
    // A window closed from under a modal dialog would return into a deleted
    // document when the dialog's loop ends; so the dialogs go first.
    bool bFound = false;
    for (wxWindow* pWindow : wxTopLevelWindows) {
        auto* pDialog = dynamic_cast<wxDialog*>(pWindow);
        if (!pDialog || !pDialog->IsShown())
            continue;
        bFound = true;
        if (pDialog->IsModal())
            pDialog->EndModal(wxID_CANCEL);
        else
            pDialog->Hide();  // native message boxes end their own loop when hidden
    }
    if (m_pModalTracker && m_pModalTracker->AnyOpen())
        bFound = true;  // a loop still running (a native message box, or one just ended)
    return bFound;
}

void CHalvexApp::OnSignalPoll(wxTimerEvent&)
{
    if (!StopSignalRaised())
        return;
    ++m_nStopTicks;
    if (EndOpenDialogs()) {
        // Once their loops have returned, at the next tick. A native message
        // box cannot be ended from here and would keep the program (and its
        // unsaved settings) until a service manager kills it.
        if (m_nStopTicks >= kStopTicksBeforeForcedEnd)
            EndNow();
        return;
    }
    m_signalTimer.Stop();
    if (m_pFrame)
        m_pFrame->Close(true);
    else
        ExitMainLoop();
}

void CHalvexApp::EndNow()
{
    // The document may be in the middle of the call that opened the box:
    // it is only read here, never destroyed under that call.
    if (m_pDoc && m_pDoc->Environment().bSaveSettings)
        m_pDoc->SaveSettings(kSettingsKey);
    std::fflush(nullptr);
    std::_Exit(0);
}
