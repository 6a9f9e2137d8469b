#include "gui/DocUiWx.h"

#include <wx/dirdlg.h>
#include <wx/msgdlg.h>
#include <wx/toplevel.h>
#include <wx/window.h>

#include "gui/HalvexViewWx.h"
#include "gui/HomeLocationDlg.h"
#include "gui/StationNetworkDlg.h"
#include "platform/Cp1252.h"

wxString FromCp1252(const std::string& text)
{
    return wxString::FromUTF8(Cp1252ToUtf8(text));
}

std::string ToCp1252(const wxString& text)
{
    return Utf8ToCp1252(std::string(text.utf8_str()));
}

wxString MenuLabelFromCp1252(const std::string& text)
{
    wxString label = FromCp1252(text);
    label.Replace("&", "&&");
    label.Replace("\t", " ");
    return label;
}

wxString FromPath(const std::string& path)
{
    wxString s(path.c_str(), *wxConvFileName);
    if (s.empty() && !path.empty())
        s = wxString::From8BitData(path.c_str());
    return s;
}

std::string ToPath(const wxString& path)
{
    wxCharBuffer buf = path.fn_str();
    return buf.data() ? std::string(buf.data()) : std::string();
}

void CWxDocUi::ShowMessage(const std::string& text)
{
    wxMessageBox(FromCp1252(text), "Halvex", wxOK, m_pMainWindow);
}

bool CWxDocUi::RunHomeLocationDialog(std::string& strLatitude, std::string& strLongitude)
{
    CHomeLocationDlg dlg(m_pMainWindow);
    dlg.m_strLatitude = strLatitude;
    dlg.m_strLongitude = strLongitude;
    if (dlg.ShowModal() != wxID_OK)
        return false;
    strLatitude = dlg.m_strLatitude;
    strLongitude = dlg.m_strLongitude;
    return true;
}

bool CWxDocUi::RunStationNetworkDialog(std::string& strUrl, std::string& strStation)
{
    CStationNetworkDlg dlg(m_pMainWindow);
    dlg.m_strUrl = strUrl;
    dlg.m_strStation = strStation;
    if (dlg.ShowModal() != wxID_OK)
        return false;
    strUrl = dlg.m_strUrl;
    strStation = dlg.m_strStation;
    return true;
}

bool CWxDocUi::BrowseForFolder(const std::string& title, const std::string& startPath,
                               std::string& chosenPath)
{
    wxDirDialog dlg(m_pMainWindow, FromCp1252(title), FromPath(startPath), wxDD_DEFAULT_STYLE);
    if (dlg.ShowModal() != wxID_OK)
        return false;
    chosenPath = ToPath(dlg.GetPath());
    return !chosenPath.empty();
}

void CWxDocUi::SetMainWindowTitle(const std::string& title)
{
    if (m_pMainWindow)
        m_pMainWindow->SetLabel(FromCp1252(title));
}

unsigned CWxDocUi::SetViewTimer(unsigned id, unsigned periodMs)
{
    return m_pView ? m_pView->SetViewTimer(id, periodMs) : 0;
}

void CWxDocUi::KillViewTimer(unsigned id)
{
    if (m_pView)
        m_pView->KillViewTimer(id);
}

void CWxDocUi::UpdateAllViews()
{
    if (m_pView)
        m_pView->OnUpdate();
}

void CWxCmdUI::Enable(bool bOn)
{
    m_event.Enable(bOn);
}

void CWxCmdUI::SetCheck(int nCheck)
{
    m_event.Check(nCheck != 0);
}

void CWxCmdUI::SetText(const std::string& text)
{
    m_event.SetText(MenuLabelFromCp1252(text));
}
