#pragma once
// The main window: menu bar, toolbar, status bar and the one view. Menu and
// toolbar states come only from update handlers, which ask the document
// (through a CWxCmdUI) or the frame's own state.
#include <functional>
#include <string>

#include <wx/cmndata.h>
#include <wx/frame.h>

class CHalvexDoc;
class CHalvexView;
class CWxDocUi;
class IShell;

// Command numbers of the framework's own items (the original resources'
// numbers) and the wx ids that carry them; the program's own commands use
// their numbers directly (document/CommandIds.h).
enum : int {
    IDR_FILE_NEW = 57600,
    IDR_FILE_OPEN = 57601,
    IDR_FILE_SAVE = 57603,
    IDR_FILE_SAVE_AS = 57604,
    IDR_FILE_PRINT_SETUP = 57606,
    IDR_FILE_PRINT = 57607,
    IDR_FILE_PRINT_PREVIEW = 57609,
    IDR_FILE_MRU_FILE1 = 57616,
    IDR_EDIT_COPY = 57634,
    IDR_EDIT_CUT = 57635,
    IDR_EDIT_PASTE = 57637,
    IDR_EDIT_UNDO = 57643,
    IDR_APP_ABOUT = 57664,
    IDR_APP_EXIT = 57665,
    IDR_HELP_FINDER = 57667,
    IDR_CONTEXT_HELP = 57669,
    IDR_HELP = 57670,
    IDR_DEFAULT_HELP = 57671,
    IDR_NEXT_PANE = 57680,
    IDR_PREV_PANE = 57681,
    IDR_INDICATOR_CAPS = 59137,
    IDR_INDICATOR_NUM = 59138,
    IDR_INDICATOR_SCRL = 59139,
    IDR_VIEW_TOOLBAR = 59392,
    IDR_VIEW_STATUS_BAR = 59393,
};

struct FrameworkCommand
{
    int nResourceId;  // the original number
    int nWxId;        // the id the wx menu, toolbar and accelerators use
};
// Every framework command the menus, toolbar and accelerators use.
extern const FrameworkCommand kFrameworkCommands[];
extern const int kFrameworkCommandCount;
// The wx id of a resource number (the number itself when it is not mapped).
int WxIdOfResource(int nResourceId);

// The prompt of a command by wx id: the status-bar text, then a line feed and
// the tooltip where there is one (the document's commands take theirs from
// the document's command table). Empty for unknown ids.
std::string CommandPrompt(int nWxId);

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

private:
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

    CHalvexDoc* m_pDoc;
    CWxDocUi& m_ui;
    IShell* m_pShell;
    CHalvexView* m_pView = nullptr;
    wxPageSetupDialogData m_pageSetup;
    int m_nKeyState = -1;  // last shown CAP/NUM/SCRL bits
};
