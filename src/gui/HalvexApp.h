#pragma once
// The application object: start-up from the command line, ownership of the
// document and its services, the About command, and an orderly end on
// window close, SIGTERM or SIGINT (capture stopped, settings written).
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/timer.h>

#include "gui/CommandLine.h"

class CHalvexDoc;
class CMainFrame;
class CWxDocUi;
class IShell;
namespace wavein {
class IWaveIn;
}

class CHalvexApp : public wxApp
{
public:
    CHalvexApp();
    ~CHalvexApp() override;

    // The version line the About box shows.
    wxString m_strAboutText;

    // Options parsed before the toolkit started (main.cpp).
    void SetStartOptions(const AppOptions& options) { m_options = options; }

    bool OnInit() override;
    int OnExit() override;

    // Creates the document (with the given devices; null ones are made from
    // the options) and the main window, applies --view, --log-dir and
    // --start; false when the window could not be made.
    bool CreateMainWindow(const AppOptions& options, std::unique_ptr<wavein::IWaveIn> pWaveIn = nullptr,
                          std::unique_ptr<IShell> pShell = nullptr);
    // Deletes the document (its destruction writes the settings) and the
    // sound device it used. Safe to call twice.
    void DestroyDocument();

    CHalvexDoc* Document() const { return m_pDoc.get(); }
    CMainFrame* MainFrame() const { return m_pFrame; }

    void OnAppAbout(wxCommandEvent& event);
    // Ends every dialog that is open (Cancel); false when there was none.
    // A native message box is counted but cannot be ended from here.
    bool EndOpenDialogs();

private:
    class CModalTracker;

    void OnSignalPoll(wxTimerEvent& event);
    // Saves the settings and ends the process at once: for a box whose own
    // loop would otherwise keep the program after SIGTERM.
    [[noreturn]] void EndNow();

    AppOptions m_options;
    std::unique_ptr<CWxDocUi> m_pUi;
    std::unique_ptr<wavein::IWaveIn> m_pWaveIn;
    std::unique_ptr<IShell> m_pShell;
    std::unique_ptr<IShell> m_pReportingShell;  // m_pShell, reporting failures through m_pUi
    std::unique_ptr<CHalvexDoc> m_pDoc;
    CMainFrame* m_pFrame = nullptr;
    wxTimer m_signalTimer;
    int m_nStopTicks = 0;  // signal polls since SIGTERM or SIGINT
    std::unique_ptr<CModalTracker> m_pModalTracker;
};
