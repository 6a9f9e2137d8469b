#pragma once
// The main window: menu bar, toolbar, status bar and the one view. Menu and
// toolbar states come only from update handlers, which ask the document
// (through a CWxCmdUI) or the frame's own state.
#include <functional>
#include <string>

#include <wx/cmndata.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include "gui/CommandMap.h"

class CHalvexDoc;
class CHalvexView;
class CWxDocUi;
class IShell;

class CMainFrame : public wxFrame
{
public:
    CMainFrame(CHalvexDoc& doc, CWxDocUi& ui, IShell* pShell);
    ~CMainFrame() override;

    // Builds the window, its menu, toolbar, status bar and view; false when
    // any of them could not be made (the window must then be destroyed).
    bool Create(const std::string& strGlobePath);

    CHalvexView* View() const { return m_pView; }
    CHalvexDoc* Document() const { return m_pDoc; }

    // Called once the document has been closed (capture stopped) and the
    // view is gone, before the window itself is destroyed: the owner deletes
    // the document here, which writes the settings.
    std::function<void()> m_onDocumentClosed;

    // Opens the manual with the desktop's opener.
    void OpenHelp();
    // The texts the CAP, NUM and SCRL panes show for the given key states.
    void ShowKeyIndicators(bool bCaps, bool bNum, bool bScroll);
    // The status bar's station network pane: shown with the connection's
    // state while the document publishes to a broker, absent otherwise.
    // Refreshed twice a second by a timer.
    void ShowStationState();
    static constexpr int kStationPane = 4;

private:
    // Widens the new window to the messages mode's longest lines.
    void FitMessagesWidth();
    wxMenuBar* BuildMenuBar();
    bool BuildToolBar();
    bool BuildStatusBar();
    void BuildAccelerators();

    void OnDocCommand(wxCommandEvent& event);
    void OnUpdateDocCommand(wxUpdateUIEvent& event);
    void OnFileNew(wxCommandEvent& event);
    void OnFileOpen(wxCommandEvent& event);
    void OnFileSave(wxCommandEvent& event);
    void OnFilePrint(wxCommandEvent& event);
    void OnFilePrintPreview(wxCommandEvent& event);
    void OnFilePrintSetup(wxCommandEvent& event);
    void OnUpdateRecentFile(wxUpdateUIEvent& event);
    void OnFileExit(wxCommandEvent& event);
    void OnViewToolBar(wxCommandEvent& event);
    void OnUpdateViewToolBar(wxUpdateUIEvent& event);
    void OnViewStatusBar(wxCommandEvent& event);
    void OnUpdateViewStatusBar(wxUpdateUIEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnStationTimer(wxTimerEvent& event);

    CHalvexDoc* m_pDoc;
    CWxDocUi& m_ui;
    IShell* m_pShell;
    CHalvexView* m_pView = nullptr;
    wxPageSetupDialogData m_pageSetup;
    int m_nKeyState = -1;  // last shown CAP/NUM/SCRL bits
    wxTimer m_stationTimer;
};
