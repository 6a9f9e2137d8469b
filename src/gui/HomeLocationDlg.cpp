#include "gui/HomeLocationDlg.h"

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/Cp1252.h"

namespace {

// Placement in dialog units, so the layout follows the dialog font.
struct DluRect
{
    int x, y, w, h;
};

void Place(wxWindow* pDlg, wxWindow* pCtrl, const DluRect& r)
{
    pCtrl->SetPosition(pDlg->ConvertDialogToPixels(wxPoint(r.x, r.y)));
    pCtrl->SetSize(pDlg->ConvertDialogToPixels(wxSize(r.w, r.h)));
}

// The layout was drawn for a narrow 8-point font. Where the desktop's font is
// wider, a label that would be cut off gets a smaller size of that font, so
// the positions stay as laid out and the whole text shows.
void FitLabel(wxStaticText* pLabel)
{
    const int available = pLabel->GetSize().GetWidth();
    wxFont font = pLabel->GetFont();
    while (pLabel->GetTextExtent(pLabel->GetLabel()).GetWidth() > available &&
           font.GetFractionalPointSize() > 6.0) {
        font.SetFractionalPointSize(font.GetFractionalPointSize() - 0.5);
        pLabel->SetFont(font);
    }
}

wxString FromCp1252(const std::string& text)
{
    return wxString::FromUTF8(Cp1252ToUtf8(text));
}

std::string ToCp1252(const wxString& text)
{
    return Utf8ToCp1252(std::string(text.utf8_str()));
}

}  // namespace

CHomeLocationDlg::CHomeLocationDlg(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, "Home location", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX)
{
    SetClientSize(ConvertDialogToPixels(wxSize(177, 67)));

    auto* pOk = new wxButton(this, wxID_OK, "OK");
    Place(this, pOk, {120, 46, 50, 14});
    auto* pCancel = new wxButton(this, wxID_CANCEL, "Cancel");
    Place(this, pCancel, {7, 46, 50, 14});
    auto* pLatLabel = new wxStaticText(this, wxID_ANY, "Latitude (eg N52 30.5)", wxDefaultPosition,
                                       wxDefaultSize, wxST_NO_AUTORESIZE);
    Place(this, pLatLabel, {14, 10, 72, 8});
    FitLabel(pLatLabel);
    auto* pLonLabel = new wxStaticText(this, wxID_ANY, "Longitude (eg W8 36.5)", wxDefaultPosition,
                                       wxDefaultSize, wxST_NO_AUTORESIZE);
    Place(this, pLonLabel, {10, 29, 76, 8});
    FitLabel(pLonLabel);
    m_pLatitude = new wxTextCtrl(this, IDC_LATITUDE, wxEmptyString);
    Place(this, m_pLatitude, {89, 7, 81, 14});
    m_pLongitude = new wxTextCtrl(this, IDC_LONGITUDE, wxEmptyString);
    Place(this, m_pLongitude, {89, 26, 81, 14});

    // Tab order follows the fields, then the buttons; Enter means OK.
    m_pLongitude->MoveAfterInTabOrder(m_pLatitude);
    pCancel->MoveAfterInTabOrder(m_pLongitude);
    pOk->MoveAfterInTabOrder(pCancel);
    pOk->SetDefault();
    SetDefaultItem(pOk);
    SetEscapeId(wxID_CANCEL);
    m_pLatitude->SetFocus();
    CentreOnParent();
}

bool CHomeLocationDlg::TransferDataToWindow()
{
    m_pLatitude->ChangeValue(FromCp1252(m_strLatitude));
    m_pLongitude->ChangeValue(FromCp1252(m_strLongitude));
    return true;
}

bool CHomeLocationDlg::TransferDataFromWindow()
{
    m_strLatitude = ToCp1252(m_pLatitude->GetValue());
    m_strLongitude = ToCp1252(m_pLongitude->GetValue());
    return true;
}
