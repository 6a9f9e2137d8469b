#pragma once
// The Station network dialog (Options > Station network...): the broker's
// URL and the station's name, and a Test button that connects in the
// background and shows how it went. Closing with OK checks both fields; the
// document applies them.
#include <memory>
#include <string>

#include <wx/dialog.h>
#include <wx/timer.h>

class wxButton;
class wxStaticText;
class wxTextCtrl;
class CStationTest;

class CStationNetworkDlg : public wxDialog
{
public:
    enum
    {
        IDC_MQTT_URL = 1101,
        IDC_STATION = 1102,
        IDC_TEST = 1103,
        IDC_RESULT = 1104
    };
    // A test that neither connects nor fails in this time ends unanswered
    // (an address that swallows the connection attempt).
    static constexpr int kTestSeconds = 15;

    explicit CStationNetworkDlg(wxWindow* pParent);
    ~CStationNetworkDlg() override;

    // Exchanged with the fields as they stand (bytes as typed, UTF-8).
    std::string m_strUrl;
    std::string m_strStation;

    bool TransferDataToWindow() override;
    // False (the dialog stays open, the reason shown) when the URL or the
    // name cannot be used.
    bool TransferDataFromWindow() override;

    wxTextCtrl* UrlEdit() const { return m_pUrl; }
    wxTextCtrl* StationEdit() const { return m_pStation; }
    wxButton* TestButton() const { return m_pTest; }
    // The line under the fields: the test's progress and result, or why OK
    // was refused.
    std::string ResultText() const;
    bool IsTesting() const { return m_timer.IsRunning(); }

private:
    void OnTest(wxCommandEvent& event);
    void OnTestTimer(wxTimerEvent& event);
    void ShowResult(const std::string& text);
    void EndTest();
    // The fields' values, checked; false with the reason.
    bool ReadFields(std::string& strUrl, std::string& strStation, std::string& strError) const;

    wxTextCtrl* m_pUrl = nullptr;
    wxTextCtrl* m_pStation = nullptr;
    wxButton* m_pTest = nullptr;
    wxStaticText* m_pResult = nullptr;
    wxTimer m_timer;
    std::unique_ptr<CStationTest> m_pStationTest;
    int m_nTicks = 0;
};
