#include "gui/AboutDlg.h"

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "gui/Icons.h"

namespace {

void Place(wxWindow* pDlg, wxWindow* pCtrl, int x, int y, int w, int h)
{
    pCtrl->SetPosition(pDlg->ConvertDialogToPixels(wxPoint(x, y)));
    pCtrl->SetSize(pDlg->ConvertDialogToPixels(wxSize(w, h)));
}

}  // namespace

CAboutDlg::CAboutDlg(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, "About Halvex", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX)
{
    SetClientSize(ConvertDialogToPixels(wxSize(235, 55)));

    auto* pIcon = new wxStaticBitmap(this, wxID_ANY, ProgramBitmap());
    pIcon->SetPosition(ConvertDialogToPixels(wxPoint(11, 17)));
    // The text the dialog is built with; the version line replaces it.
    m_pVersion = new wxStaticText(this, IDC_VERSION, "Halvex Version 1.4", wxDefaultPosition, wxDefaultSize,
                                  wxST_NO_AUTORESIZE);
    Place(this, m_pVersion, 40, 10, 188, 8);
    auto* pMaker = new wxStaticText(this, wxID_ANY, "Made by Norq", wxDefaultPosition, wxDefaultSize,
                                    wxST_NO_AUTORESIZE);
    Place(this, pMaker, 40, 25, 119, 8);
    auto* pOk = new wxButton(this, wxID_OK, "OK");
    Place(this, pOk, 178, 34, 50, 14);
    pOk->SetDefault();
    SetEscapeId(wxID_OK);
    CentreOnParent();
}

bool CAboutDlg::TransferDataToWindow()
{
    m_pVersion->SetLabelText(m_strVersion);
    return true;
}
