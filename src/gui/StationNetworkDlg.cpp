#include "gui/StationNetworkDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "document/StationNetwork.h"
#include "network/MqttLink.h"

namespace {

constexpr int kTickMs = 100;

std::string Utf8(const wxString& text)
{
    return std::string(text.utf8_str());
}

}  // namespace

CStationNetworkDlg::CStationNetworkDlg(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, "Station network", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_timer(this)
{
    auto* pTop = new wxBoxSizer(wxVERTICAL);
    auto* pGrid = new wxFlexGridSizer(2, wxSize(8, 6));
    pGrid->AddGrowableCol(1);
    const int width = ConvertDialogToPixels(wxSize(180, 0)).GetWidth();

    pGrid->Add(new wxStaticText(this, wxID_ANY, "Broker URL"), 0, wxALIGN_CENTER_VERTICAL);
    m_pUrl = new wxTextCtrl(this, IDC_MQTT_URL, wxEmptyString, wxDefaultPosition, wxSize(width, -1));
    m_pUrl->SetHint("mqtts://user@broker.example.org");
    pGrid->Add(m_pUrl, 1, wxEXPAND);
    pGrid->Add(new wxStaticText(this, wxID_ANY, "Station name"), 0, wxALIGN_CENTER_VERTICAL);
    m_pStation = new wxTextCtrl(this, IDC_STATION, wxEmptyString, wxDefaultPosition, wxSize(width, -1));
    m_pStation->SetHint(wxString::FromUTF8(DefaultStationName()));
    pGrid->Add(m_pStation, 1, wxEXPAND);
    pTop->Add(pGrid, 0, wxEXPAND | wxALL, 10);

    pTop->Add(new wxStaticText(this, wxID_ANY,
                               "mqtt://[USER@]HOST[:PORT], or mqtts:// for TLS. Empty: publish nothing.\n"
                               "The password is read from the environment variable " +
                                   wxString(kMqttPasswordVariable) + "."),
              0, wxLEFT | wxRIGHT, 10);

    auto* pTestRow = new wxBoxSizer(wxHORIZONTAL);
    m_pTest = new wxButton(this, IDC_TEST, "Test");
    pTestRow->Add(m_pTest, 0, wxALIGN_CENTER_VERTICAL);
    m_pResult = new wxStaticText(this, IDC_RESULT, wxEmptyString, wxDefaultPosition, wxSize(width, -1),
                                 wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    pTestRow->Add(m_pResult, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, 8);
    pTop->Add(pTestRow, 0, wxEXPAND | wxALL, 10);

    auto* pButtons = new wxStdDialogButtonSizer;
    auto* pOk = new wxButton(this, wxID_OK, "OK");
    pButtons->AddButton(pOk);
    pButtons->AddButton(new wxButton(this, wxID_CANCEL, "Cancel"));
    pButtons->Realize();
    pTop->Add(pButtons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
    SetSizerAndFit(pTop);

    pOk->SetDefault();
    SetDefaultItem(pOk);
    SetEscapeId(wxID_CANCEL);
    m_pUrl->SetFocus();
    Bind(wxEVT_BUTTON, &CStationNetworkDlg::OnTest, this, IDC_TEST);
    Bind(wxEVT_TIMER, &CStationNetworkDlg::OnTestTimer, this, m_timer.GetId());
    CentreOnParent();
}

CStationNetworkDlg::~CStationNetworkDlg()
{
    m_timer.Stop();
    // The test's connection is let go of in the background (CStationTest).
}

bool CStationNetworkDlg::TransferDataToWindow()
{
    m_pUrl->ChangeValue(wxString::FromUTF8(m_strUrl));
    m_pStation->ChangeValue(wxString::FromUTF8(m_strStation));
    return true;
}

bool CStationNetworkDlg::ReadFields(std::string& strUrl, std::string& strStation, std::string& strError) const
{
    strUrl = Utf8(m_pUrl->GetValue().Strip(wxString::both));
    strStation = Utf8(m_pStation->GetValue().Strip(wxString::both));
    MqttUrl parsed;
    if (!strUrl.empty() && !ParseMqttUrl(strUrl, parsed, strError))
        return false;
    if (!strStation.empty() && !CheckStationName(strStation, strError))
        return false;
    return true;
}

bool CStationNetworkDlg::TransferDataFromWindow()
{
    std::string strUrl, strStation, strError;
    if (!ReadFields(strUrl, strStation, strError)) {
        EndTest();
        ShowResult(strError);
        return false;
    }
    m_strUrl = strUrl;
    m_strStation = strStation;
    return true;
}

std::string CStationNetworkDlg::ResultText() const
{
    return Utf8(m_pResult->GetLabel());
}

void CStationNetworkDlg::ShowResult(const std::string& text)
{
    m_pResult->SetLabel(wxString::FromUTF8(text));
    m_pResult->SetToolTip(wxString::FromUTF8(text));
}

void CStationNetworkDlg::EndTest()
{
    m_timer.Stop();
    m_pStationTest.reset();
}

void CStationNetworkDlg::OnTest(wxCommandEvent&)
{
    EndTest();
    std::string strUrl, strStation, strError;
    if (!ReadFields(strUrl, strStation, strError)) {
        ShowResult(strError);
        return;
    }
    if (strUrl.empty()) {
        ShowResult("No broker URL: nothing to test.");
        return;
    }
    auto pTest = std::make_unique<CStationTest>();
    if (!pTest->Start(strUrl, strStation, strError)) {
        ShowResult(strError);
        return;
    }
    m_pStationTest = std::move(pTest);
    m_nTicks = 0;
    ShowResult("Testing: " + m_pStationTest->StateText());
    m_timer.Start(kTickMs);
}

void CStationNetworkDlg::OnTestTimer(wxTimerEvent&)
{
    if (!m_pStationTest) {
        m_timer.Stop();
        return;
    }
    ++m_nTicks;
    const std::string text = m_pStationTest->StateText();
    switch (m_pStationTest->GetState()) {
        case CStationNetwork::State::Connected:
            ShowResult("Test passed: " + text + ".");
            EndTest();
            return;
        case CStationNetwork::State::Refused:
        case CStationNetwork::State::Disconnected: {
            // The connection would try again; the test has its answer.
            std::string why = text;
            const std::string again = "; trying again";
            if (why.size() > again.size() && why.compare(why.size() - again.size(), again.size(), again) == 0)
                why.erase(why.size() - again.size());
            ShowResult("Test failed: " + why + ".");
            EndTest();
            return;
        }
        default:
            break;
    }
    if (m_nTicks * kTickMs >= kTestSeconds * 1000) {
        ShowResult("Test failed: no answer in " + std::to_string(kTestSeconds) + " s (" + text + ").");
        EndTest();
        return;
    }
    ShowResult("Testing: " + text);
}
