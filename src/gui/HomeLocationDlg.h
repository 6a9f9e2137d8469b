#pragma once
// The Home location dialog: two edit fields holding the latitude and the
// longitude in the program's notation ("N52 30.5000"). It only exchanges the
// texts; the document parses them after OK.
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

class CHomeLocationDlg : public wxDialog
{
public:
    enum
    {
        IDC_LATITUDE = 1001,
        IDC_LONGITUDE = 1002
    };

    explicit CHomeLocationDlg(wxWindow* pParent);

    // Code page 1252 texts, exchanged with the edit fields as they stand.
    std::string m_strLatitude;
    std::string m_strLongitude;

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    wxTextCtrl* LatitudeEdit() const { return m_pLatitude; }
    wxTextCtrl* LongitudeEdit() const { return m_pLongitude; }

private:
    wxTextCtrl* m_pLatitude = nullptr;
    wxTextCtrl* m_pLongitude = nullptr;
};
