#include "app/HalvexApp.h"

#include <wx/dialog.h>

#include "app/AboutDlg.h"
#include "app/AppPaths.h"
#include "app/AppServices.h"
#include "app/CommandMap.h"
#include "app/DocUiWx.h"
#include "app/MainFrame.h"
#include "document/CommandIds.h"
#include "document/HalvexDoc.h"
#include "platform/Shell.h"
#include "platform/WaveIn.h"

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
    m_pDoc = std::make_unique<CHalvexDoc>(
        MakeDocEnvironment(m_pUi.get(), m_pWaveIn.get(), m_pShell.get(), options.strSettings));
    ApplyDocOptions(*m_pDoc, options.nViewMode, options.strLogDir, options.bWeakSignals);

    auto* pFrame = new CMainFrame(*m_pDoc, *m_pUi, m_pShell.get());
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
    return bFound;
}

void CHalvexApp::OnSignalPoll(wxTimerEvent&)
{
    if (!StopSignalRaised())
        return;
    if (EndOpenDialogs())
        return;  // once their loops have returned, at the next tick
    m_signalTimer.Stop();
    if (m_pFrame)
        m_pFrame->Close(true);
    else
        ExitMainLoop();
}
