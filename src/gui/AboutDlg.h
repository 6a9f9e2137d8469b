#pragma once
// The About box: the program icon, the version line and the maker's line.
#include <wx/dialog.h>

class wxStaticText;

class CAboutDlg : public wxDialog
{
public:
    enum
    {
        IDC_VERSION = 1000
    };

    explicit CAboutDlg(wxWindow* pParent);

    // Shown in place of the built-in version text when the dialog opens.
    wxString m_strVersion;

    bool TransferDataToWindow() override;
    wxStaticText* VersionText() const { return m_pVersion; }

private:
    wxStaticText* m_pVersion = nullptr;
};
