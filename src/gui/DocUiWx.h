#pragma once
// The document's user interface over wx: message boxes, the two dialogs, the
// main window's title, the view's timers and redraws; and the command-state
// object that update handlers fill from a wxUpdateUIEvent.
#include "document/DocUi.h"

class wxWindow;
class wxString;
class wxUpdateUIEvent;
class CHalvexView;

class CWxDocUi : public IDocUi
{
public:
    // Both may be set later: the document exists before its windows.
    void SetMainWindow(wxWindow* pMainWindow) { m_pMainWindow = pMainWindow; }
    void SetView(CHalvexView* pView) { m_pView = pView; }
    wxWindow* MainWindow() const { return m_pMainWindow; }
    CHalvexView* View() const { return m_pView; }

    void ShowMessage(const std::string& text) override;
    bool RunHomeLocationDialog(std::string& strLatitude, std::string& strLongitude) override;
    bool BrowseForFolder(const std::string& title, const std::string& startPath,
                         std::string& chosenPath) override;
    bool RunStationNetworkDialog(std::string& strUrl, std::string& strStation) override;
    void SetMainWindowTitle(const std::string& title) override;
    unsigned SetViewTimer(unsigned id, unsigned periodMs) override;
    void KillViewTimer(unsigned id) override;
    void UpdateAllViews() override;

private:
    wxWindow* m_pMainWindow = nullptr;
    CHalvexView* m_pView = nullptr;
};

class CWxCmdUI : public ICmdUI
{
public:
    explicit CWxCmdUI(wxUpdateUIEvent& event) : m_event(event) {}
    void Enable(bool bOn) override;
    void SetCheck(int nCheck) override;
    void SetText(const std::string& text) override;

private:
    wxUpdateUIEvent& m_event;
};

// Program text (code page 1252) for the screen, and back.
wxString FromCp1252(const std::string& text);
std::string ToCp1252(const wxString& text);
// A menu label that shows text literally (no mnemonic, no accelerator).
wxString MenuLabelFromCp1252(const std::string& text);
// File-system paths are bytes, not program text: they pass unconverted.
wxString FromPath(const std::string& path);
std::string ToPath(const wxString& path);
