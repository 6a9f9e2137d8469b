#include "gui/MainFrame.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include <wx/accel.h>
#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/gdicmn.h>
#include <wx/menu.h>
#include <wx/print.h>
#include <wx/printdlg.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "document/CommandIds.h"
#include "document/CommandTable.h"
#include "document/DocUi.h"
#include "document/HalvexDoc.h"
#include "gui/AppPaths.h"
#include "gui/DocUiWx.h"
#include "gui/HalvexViewWx.h"
#include "gui/Icons.h"
#include "gui/ModePaintersWx.h"
#include "platform/Shell.h"

namespace {

const char* const kIdleText = "For Help, press F1";
const char* const kIndicatorTexts[3] = {"CAP", "NUM", "SCRL"};

wxString StatusOf(int nResourceId)
{
    return FromCp1252(PromptStatusText(CommandPrompt(nResourceId).c_str()));
}

int W(int nResourceId)
{
    return WxIdOfResource(nResourceId);
}

// One page: the view's picture at the window's pixel size, unscaled, in the
// page's top-left corner.
// Whether a command's update rule ever checks its item: it must then be a
// check item. The rule is asked against a document in its present state;
// every rule that checks does so in each of its branches.
class CProbeCmdUI : public ICmdUI
{
public:
    void Enable(bool) override {}
    void SetCheck(int) override { m_bChecks = true; }
    void SetText(const std::string&) override {}
    bool m_bChecks = false;
};

bool HasCheckRule(const DocCommand& command, const CHalvexDoc& doc)
{
    if (!command.pfnUpdate)
        return false;
    CProbeCmdUI probe;
    command.pfnUpdate(doc, probe);
    return probe.m_bChecks;
}

class CViewPrintout : public wxPrintout
{
public:
    explicit CViewPrintout(CHalvexView* pView) : wxPrintout("Halvex"), m_pView(pView) {}

    bool HasPage(int nPage) override { return nPage == 1; }
    void GetPageInfo(int* pMin, int* pMax, int* pFrom, int* pTo) override
    {
        *pMin = *pMax = *pFrom = *pTo = 1;
    }
    bool OnPrintPage(int nPage) override
    {
        wxDC* pDc = GetDC();
        if (nPage != 1 || !pDc || !m_pView)
            return false;
        wxBitmap bitmap = m_pView->RenderPicture(m_pView->GetClientSize());
        if (bitmap.IsOk())
            pDc->DrawBitmap(bitmap, 0, 0, false);
        return true;
    }

private:
    CHalvexView* m_pView;
};

}  // namespace

CMainFrame::CMainFrame(CHalvexDoc& doc, CWxDocUi& ui, IShell* pShell)
    : m_pDoc(&doc), m_ui(ui), m_pShell(pShell)
{
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create(const std::string& strGlobePath)
{
    if (!wxFrame::Create(nullptr, wxID_ANY, "Halvex", wxDefaultPosition, wxSize(820, 660)))
        return false;
    SetIcon(ProgramIcon());
    m_ui.SetMainWindow(this);

    SetMenuBar(BuildMenuBar());
    if (!BuildToolBar() || !BuildStatusBar())
        return false;
    BuildAccelerators();

    m_pView = new CHalvexView(this, *m_pDoc, strGlobePath);
    m_ui.SetView(m_pView);
    FitMessagesWidth();

    const int firstDoc = W(ID_PROCESS_START);
    const int lastDoc = W(ID_OPTIONS_HOMELOCATION);
    Bind(wxEVT_MENU, &CMainFrame::OnDocCommand, this, firstDoc, lastDoc);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateDocCommand, this, firstDoc, lastDoc);
    Bind(wxEVT_MENU, &CMainFrame::OnFileNew, this, W(IDR_FILE_NEW));
    Bind(wxEVT_MENU, &CMainFrame::OnFileOpen, this, W(IDR_FILE_OPEN));
    Bind(wxEVT_MENU, &CMainFrame::OnFileSave, this, W(IDR_FILE_SAVE));
    Bind(wxEVT_MENU, &CMainFrame::OnFileSave, this, W(IDR_FILE_SAVE_AS));
    Bind(wxEVT_MENU, &CMainFrame::OnFilePrint, this, W(IDR_FILE_PRINT));
    Bind(wxEVT_MENU, &CMainFrame::OnFilePrintPreview, this, W(IDR_FILE_PRINT_PREVIEW));
    Bind(wxEVT_MENU, &CMainFrame::OnFilePrintSetup, this, W(IDR_FILE_PRINT_SETUP));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateRecentFile, this, W(IDR_FILE_MRU_FILE1));
    Bind(wxEVT_MENU, &CMainFrame::OnFileExit, this, W(IDR_APP_EXIT));
    Bind(wxEVT_MENU, &CMainFrame::OnViewToolBar, this, W(IDR_VIEW_TOOLBAR));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewToolBar, this, W(IDR_VIEW_TOOLBAR));
    Bind(wxEVT_MENU, &CMainFrame::OnViewStatusBar, this, W(IDR_VIEW_STATUS_BAR));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewStatusBar, this, W(IDR_VIEW_STATUS_BAR));
    for (int id : {IDR_HELP_FINDER, IDR_DEFAULT_HELP, IDR_HELP, IDR_CONTEXT_HELP})
        Bind(wxEVT_MENU, &CMainFrame::OnHelp, this, W(id));
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    Bind(wxEVT_MENU, &CMainFrame::OnDocCommand, this, W(ID_OPTIONS_STATIONNETWORK));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateDocCommand, this, W(ID_OPTIONS_STATIONNETWORK));
    m_stationTimer.SetOwner(this);
    Bind(wxEVT_TIMER, &CMainFrame::OnStationTimer, this, m_stationTimer.GetId());
    m_stationTimer.Start(500);
    ShowStationState();
    return true;
}

wxMenuBar* CMainFrame::BuildMenuBar()
{
    auto item = [](wxMenu* pMenu, int nResourceId, const char* pszLabel, wxItemKind kind = wxITEM_NORMAL) {
        pMenu->Append(W(nResourceId), pszLabel, StatusOf(nResourceId), kind);
    };

    auto* pFile = new wxMenu;
    item(pFile, IDR_FILE_NEW, "&New\tCtrl+N");
    item(pFile, IDR_FILE_OPEN, "&Open...\tCtrl+O");
    item(pFile, IDR_FILE_SAVE, "&Save\tCtrl+S");
    item(pFile, IDR_FILE_SAVE_AS, "Save &As...");
    pFile->AppendSeparator();
    item(pFile, IDR_FILE_PRINT, "&Print...\tCtrl+P");
    item(pFile, IDR_FILE_PRINT_PREVIEW, "Print Pre&view");
    item(pFile, IDR_FILE_PRINT_SETUP, "P&rint Setup...");
    pFile->AppendSeparator();
    item(pFile, IDR_FILE_MRU_FILE1, "Recent File");
    pFile->AppendSeparator();
    item(pFile, IDR_APP_EXIT, "E&xit");

    // The document's menus come from its command table, in its order; the
    // View menu then gets the framework's two bar toggles.
    std::vector<std::pair<std::string, wxMenu*>> tops;
    std::map<std::string, wxMenu*> menus;  // by path "Options/Audio"
    for (const DocCommand& command : DocCommands()) {
        std::string path;
        wxMenu* pParent = nullptr;
        size_t depth = 0;
        while (depth + 1 < command.menuPath.size() && command.menuPath[depth + 1])
            ++depth;
        for (size_t i = 0; i < depth; ++i) {
            const std::string name = command.menuPath[i];
            path += "/" + name;
            wxMenu*& pMenu = menus[path];
            if (!pMenu) {
                pMenu = new wxMenu;
                if (pParent)
                    pParent->AppendSubMenu(pMenu, name);
                else
                    tops.emplace_back(name, pMenu);
            }
            pParent = pMenu;
        }
        if (pParent)
            item(pParent, command.nId, command.menuPath[depth],
                 HasCheckRule(command, *m_pDoc) ? wxITEM_CHECK : wxITEM_NORMAL);
    }
    if (wxMenu* pView = menus["/&View"]) {
        item(pView, IDR_VIEW_TOOLBAR, "&Toolbar", wxITEM_CHECK);
        item(pView, IDR_VIEW_STATUS_BAR, "&Status Bar", wxITEM_CHECK);
    }

    auto* pHelp = new wxMenu;
    item(pHelp, IDR_HELP_FINDER, "&Help Topics");
    pHelp->AppendSeparator();
    item(pHelp, IDR_APP_ABOUT, "&About Halvex...");

    auto* pBar = new wxMenuBar;
    pBar->Append(pFile, "&File");
    for (const auto& top : tops)
        pBar->Append(top.second, top.first);
    pBar->Append(pHelp, "&Help");
    return pBar;
}

bool CMainFrame::BuildToolBar()
{
    wxToolBar* pBar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    if (!pBar)
        return false;
    pBar->SetToolBitmapSize(wxSize(16, 15));
    struct Button
    {
        int nId;
        wxItemKind kind;
    };
    static const Button kButtons[] = {
        {ID_PROCESS_START, wxITEM_NORMAL},
        {ID_PROCESS_STOP, wxITEM_NORMAL},
        {0, wxITEM_SEPARATOR},
        {ID_VIEW_SIGNAL, wxITEM_CHECK},
        {ID_VIEW_MESSAGES, wxITEM_CHECK},
        {ID_VIEW_SATELLITES, wxITEM_CHECK},
        {ID_VIEW_CHART, wxITEM_CHECK},
        {ID_VIEW_PASSES, wxITEM_CHECK},
        {0, wxITEM_SEPARATOR},
        {IDR_APP_ABOUT, wxITEM_NORMAL},
        {IDR_CONTEXT_HELP, wxITEM_NORMAL},
    };
    for (const Button& b : kButtons) {
        if (b.kind == wxITEM_SEPARATOR) {
            pBar->AddSeparator();
            continue;
        }
        const std::string prompt = CommandPrompt(b.nId);
        const wxString tooltip = FromCp1252(PromptToolTip(prompt.c_str()));
        pBar->AddTool(W(b.nId), tooltip, ToolBitmap(b.nId), tooltip, b.kind);
        pBar->SetToolLongHelp(W(b.nId), FromCp1252(PromptStatusText(prompt.c_str())));
    }
    return pBar->Realize();
}

bool CMainFrame::BuildStatusBar()
{
    wxStatusBar* pBar = CreateStatusBar(4, wxSTB_DEFAULT_STYLE);
    if (!pBar)
        return false;
    int widths[4] = {-1, 0, 0, 0};
    for (int i = 0; i < 3; ++i)
        widths[i + 1] = pBar->GetTextExtent(kIndicatorTexts[i]).GetWidth() + 16;
    pBar->SetStatusWidths(4, widths);
    SetStatusText(kIdleText, 0);
    ShowKeyIndicators(false, false, false);
    return true;
}

void CMainFrame::BuildAccelerators()
{
    // The menu labels carry Ctrl+N, Ctrl+O, Ctrl+S and Ctrl+P; these are the
    // rest of the standard set. Edit and pane commands have no handler here,
    // so their keys do nothing, as in any program without those commands.
    wxAcceleratorEntry entries[] = {
        {wxACCEL_CTRL, 'Z', W(IDR_EDIT_UNDO)},        {wxACCEL_ALT, WXK_BACK, W(IDR_EDIT_UNDO)},
        {wxACCEL_CTRL, 'X', W(IDR_EDIT_CUT)},         {wxACCEL_SHIFT, WXK_DELETE, W(IDR_EDIT_CUT)},
        {wxACCEL_CTRL, 'C', W(IDR_EDIT_COPY)},        {wxACCEL_CTRL, WXK_INSERT, W(IDR_EDIT_COPY)},
        {wxACCEL_CTRL, 'V', W(IDR_EDIT_PASTE)},       {wxACCEL_SHIFT, WXK_INSERT, W(IDR_EDIT_PASTE)},
        {wxACCEL_NORMAL, WXK_F6, W(IDR_NEXT_PANE)},   {wxACCEL_SHIFT, WXK_F6, W(IDR_PREV_PANE)},
        {wxACCEL_SHIFT, WXK_F1, W(IDR_CONTEXT_HELP)}, {wxACCEL_NORMAL, WXK_F1, W(IDR_HELP)},
        {wxACCEL_CTRL, 'N', W(IDR_FILE_NEW)},         {wxACCEL_CTRL, 'O', W(IDR_FILE_OPEN)},
        {wxACCEL_CTRL, 'S', W(IDR_FILE_SAVE)},        {wxACCEL_CTRL, 'P', W(IDR_FILE_PRINT)},
    };
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(sizeof entries / sizeof entries[0]), entries));
}

void CMainFrame::OnDocCommand(wxCommandEvent& event)
{
    if (!m_pDoc || !m_pDoc->OnCommand(ResourceOfWxId(event.GetId())))
        event.Skip();
}

void CMainFrame::OnUpdateDocCommand(wxUpdateUIEvent& event)
{
    if (!m_pDoc)
        return;
    CWxCmdUI cmdUi(event);
    m_pDoc->OnUpdateCommand(ResourceOfWxId(event.GetId()), cmdUi);
}

void CMainFrame::OnFileNew(wxCommandEvent&)
{
    // The document has no file content: a new one would be this one again.
}

void CMainFrame::OnFileOpen(wxCommandEvent&)
{
    // Nothing is read: the document has no file content. The dialog is kept
    // so that the command behaves as users expect a File menu to.
    wxFileDialog dlg(this, "Open", wxEmptyString, wxEmptyString, "All files (*)|*",
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    dlg.ShowModal();
}

void CMainFrame::OnFileSave(wxCommandEvent&)
{
    // Nothing is written: the document has no file content.
    wxFileDialog dlg(this, "Save As", wxEmptyString, "Halvex", "All files (*)|*",
                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    dlg.ShowModal();
}

void CMainFrame::OnFilePrint(wxCommandEvent&)
{
    wxPrintDialogData data(m_pageSetup.GetPrintData());
    wxPrinter printer(&data);
    CViewPrintout printout(m_pView);
    if (printer.Print(this, &printout, true))
        m_pageSetup.SetPrintData(printer.GetPrintDialogData().GetPrintData());
}

void CMainFrame::OnFilePrintPreview(wxCommandEvent&)
{
    wxPrintDialogData data(m_pageSetup.GetPrintData());
    auto* pPreview = new wxPrintPreview(new CViewPrintout(m_pView), new CViewPrintout(m_pView), &data);
    if (!pPreview->IsOk()) {
        delete pPreview;
        return;
    }
    auto* pFrame = new wxPreviewFrame(pPreview, this, "Print Preview", wxDefaultPosition, GetSize());
    pFrame->Initialize();
    pFrame->Show();
}

void CMainFrame::OnFilePrintSetup(wxCommandEvent&)
{
    wxPageSetupDialog dlg(this, &m_pageSetup);
    if (dlg.ShowModal() == wxID_OK)
        m_pageSetup = dlg.GetPageSetupDialogData();
}

void CMainFrame::OnUpdateRecentFile(wxUpdateUIEvent& event)
{
    event.Enable(false);  // the document has no files to remember
}

void CMainFrame::OnFileExit(wxCommandEvent&)
{
    Close();
}

void CMainFrame::OnViewToolBar(wxCommandEvent&)
{
    if (wxToolBar* pBar = GetToolBar()) {
        pBar->Show(!pBar->IsShown());
        SendSizeEvent();
    }
}

void CMainFrame::OnUpdateViewToolBar(wxUpdateUIEvent& event)
{
    event.Check(GetToolBar() && GetToolBar()->IsShown());
}

void CMainFrame::OnViewStatusBar(wxCommandEvent&)
{
    if (wxStatusBar* pBar = GetStatusBar()) {
        pBar->Show(!pBar->IsShown());
        SendSizeEvent();
    }
}

void CMainFrame::OnUpdateViewStatusBar(wxUpdateUIEvent& event)
{
    event.Check(GetStatusBar() && GetStatusBar()->IsShown());
}

void CMainFrame::FitMessagesWidth()
{
    // The first window shows the longest message and expansion lines whole,
    // as far as the screen allows.
    wxClientDC dc(m_pView);
    const int nWanted = WidestMessagesRow(dc) + 8;
    const int nScreen = wxGetClientDisplayRect().GetWidth();
    const wxSize client = GetClientSize();
    const wxSize frame = GetSize();
    const int nWidth = std::min(nWanted, nScreen - (frame.GetWidth() - client.GetWidth()));
    if (client.GetWidth() < nWidth)
        SetClientSize(nWidth, client.GetHeight());
}

void CMainFrame::OpenHelp()
{
    // A missing manual is left to the opener to report; a missing opener is
    // reported by the shell.
    if (m_pShell)
        m_pShell->ShellExecute("open", HelpFilePath(), "");
}

void CMainFrame::OnHelp(wxCommandEvent&)
{
    OpenHelp();
}

void CMainFrame::ShowKeyIndicators(bool bCaps, bool bNum, bool bScroll)
{
    wxStatusBar* pBar = GetStatusBar();
    if (!pBar)
        return;
    const int state = (bCaps ? 1 : 0) | (bNum ? 2 : 0) | (bScroll ? 4 : 0);
    if (state == m_nKeyState)
        return;
    m_nKeyState = state;
    for (int i = 0; i < 3; ++i)
        pBar->SetStatusText((state >> i) & 1 ? kIndicatorTexts[i] : "", i + 1);
}

void CMainFrame::OnIdle(wxIdleEvent& event)
{
    ShowKeyIndicators(wxGetKeyState(WXK_CAPITAL), wxGetKeyState(WXK_NUMLOCK), wxGetKeyState(WXK_SCROLL));
    event.Skip();
}

void CMainFrame::ShowStationState()
{
    wxStatusBar* pBar = GetStatusBar();
    if (!pBar)
        return;
    const std::string text = m_pDoc ? m_pDoc->m_station.StatusText() : std::string();
    const int nFields = pBar->GetFieldsCount();
    if (text.empty()) {
        if (nFields > kStationPane)
            pBar->SetFieldsCount(kStationPane);
        return;
    }
    if (nFields <= kStationPane) {
        int widths[kStationPane + 1];
        for (int i = 0; i < kStationPane; ++i)
            widths[i] = pBar->GetStatusWidth(i);
        widths[kStationPane] = pBar->GetTextExtent("MQTT connecting, 10000 waiting").GetWidth() + 16;
        pBar->SetFieldsCount(kStationPane + 1, widths);
    }
    if (pBar->GetStatusText(kStationPane) != text)
        pBar->SetStatusText(text, kStationPane);
}

void CMainFrame::OnStationTimer(wxTimerEvent&)
{
    ShowStationState();
}

void CMainFrame::OnClose(wxCloseEvent&)
{
    m_stationTimer.Stop();
    // The document goes first (a running capture is stopped, then the
    // settings are written by its destruction), while the window still
    // exists for the title and timer calls that the stop makes.
    if (m_pDoc)
        m_pDoc->OnCloseDocument();
    if (m_pView) {
        m_ui.SetView(nullptr);
        m_pView->Destroy();
        m_pView = nullptr;
    }
    m_ui.SetMainWindow(nullptr);
    m_pDoc = nullptr;
    if (m_onDocumentClosed)
        m_onDocumentClosed();
    Destroy();
}
