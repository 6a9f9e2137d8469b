// The dialogs and message boxes: Home location (layout and exchange, through
// the document's command), the folder chooser, message boxes with program
// text, and the globe.dat failure report.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/textctrl.h>

#include "MainWindowFixture.h"
#include "gui/DocUiWx.h"
#include "gui/HomeLocationDlg.h"

namespace {

std::string Utf8(const wxString& s)
{
    return std::string(s.utf8_str());
}

}  // namespace

TEST(HomeLocationDlgTest, LayoutFollowsTheDialogUnits)
{
    CHomeLocationDlg dlg(nullptr);
    EXPECT_EQ(Utf8(dlg.GetTitle()), "Home location");
    EXPECT_EQ(dlg.GetClientSize(), dlg.ConvertDialogToPixels(wxSize(177, 67)));
    wxWindow* pLat = dlg.FindWindow(1001);
    wxWindow* pLon = dlg.FindWindow(1002);
    ASSERT_TRUE(pLat && pLon);
    EXPECT_EQ(pLat->GetPosition(), dlg.ConvertDialogToPixels(wxPoint(89, 7)));
    EXPECT_EQ(pLon->GetPosition(), dlg.ConvertDialogToPixels(wxPoint(89, 26)));
    EXPECT_EQ(pLat->GetSize().GetWidth(), dlg.ConvertDialogToPixels(wxSize(81, 14)).GetWidth());
    auto* pOk = dynamic_cast<wxButton*>(dlg.FindWindow(wxID_OK));
    auto* pCancel = dynamic_cast<wxButton*>(dlg.FindWindow(wxID_CANCEL));
    ASSERT_TRUE(pOk && pCancel);
    EXPECT_EQ(pOk->GetPosition(), dlg.ConvertDialogToPixels(wxPoint(120, 46)));
    EXPECT_EQ(pCancel->GetPosition(), dlg.ConvertDialogToPixels(wxPoint(7, 46)));
    EXPECT_EQ(Utf8(pOk->GetLabel()), "OK");
    EXPECT_EQ(Utf8(pCancel->GetLabel()), "Cancel");
    EXPECT_EQ(dlg.GetDefaultItem(), pOk);
    bool bLatLabel = false, bLonLabel = false;
    for (wxWindow* pChild : dlg.GetChildren()) {
        const std::string label = Utf8(pChild->GetLabel());
        const bool bLat = label == "Latitude (eg N52 30.5)";
        const bool bLon = label == "Longitude (eg W8 36.5)";
        if (!bLat && !bLon) {
            continue;
        }
        bLatLabel |= bLat;
        bLonLabel |= bLon;
        EXPECT_EQ(pChild->GetPosition(), dlg.ConvertDialogToPixels(bLat ? wxPoint(14, 10) : wxPoint(10, 29)));
        EXPECT_EQ(pChild->GetSize(), dlg.ConvertDialogToPixels(bLat ? wxSize(72, 8) : wxSize(76, 8)));
        // The whole label shows within its place, whatever the desktop's font.
        EXPECT_LE(pChild->GetTextExtent(pChild->GetLabel()).GetWidth(), pChild->GetSize().GetWidth())
            << label;
    }
    EXPECT_TRUE(bLatLabel);
    EXPECT_TRUE(bLonLabel);
}

TEST(HomeLocationDlgTest, ExchangeKeepsCodePage1252Text)
{
    CHomeLocationDlg dlg(nullptr);
    dlg.m_strLatitude = "N52\xB0 30.5";
    dlg.m_strLongitude = "W008 36.5000";
    dlg.TransferDataToWindow();
    EXPECT_EQ(Utf8(dlg.LatitudeEdit()->GetValue()), "N52\xC2\xB0 30.5");
    EXPECT_EQ(Utf8(dlg.LongitudeEdit()->GetValue()), "W008 36.5000");
    dlg.LatitudeEdit()->ChangeValue(wxString::FromUTF8("S33\xC2\xB0 52"));
    dlg.LongitudeEdit()->ChangeValue("e151 12.5");
    dlg.TransferDataFromWindow();
    EXPECT_EQ(dlg.m_strLatitude, "S33\xB0 52");
    EXPECT_EQ(dlg.m_strLongitude, "e151 12.5");
}

TEST_F(MainWindowTest, HomeLocationCommandShowsStoredPlaceAndTakesTheTypedOne)
{
    Open();
    Doc().m_dHomeLat = 52.508333333333333;
    Doc().m_dHomeLon = -8.608333333333333;
    Doc().m_bRecomputeChart = 0;
    CModalScript script;
    std::string shownLat, shownLon;
    script.m_answer = [&](wxDialog* pDlg) {
        auto* pHome = dynamic_cast<CHomeLocationDlg*>(pDlg);
        if (!pHome)
            return static_cast<int>(wxID_OK);
        // Shown for real: the user types and presses OK.
        pHome->CallAfter([&, pHome] {
            shownLat = Utf8(pHome->LatitudeEdit()->GetValue());
            shownLon = Utf8(pHome->LongitudeEdit()->GetValue());
            pHome->LatitudeEdit()->ChangeValue("s33 52");
            pHome->LongitudeEdit()->ChangeValue("e151 12.5");
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            ok.SetEventObject(pHome->FindWindow(wxID_OK));
            pHome->FindWindow(wxID_OK)->ProcessWindowEvent(ok);
        });
        return static_cast<int>(wxID_NONE);
    };
    Choose(ID_OPTIONS_HOMELOCATION);
    EXPECT_EQ(shownLat, "N52 30.5000");
    EXPECT_EQ(shownLon, "W008 36.5000");
    EXPECT_NEAR(Doc().m_dHomeLat, -33.866667, 1e-6);
    EXPECT_NEAR(Doc().m_dHomeLon, 151.208333, 1e-6);
    EXPECT_EQ(Doc().m_bRecomputeChart, 1);
    EXPECT_EQ(script.m_seen.size(), 1u);  // no error box
}

TEST_F(MainWindowTest, HomeLocationCancelAndBadInput)
{
    Open();
    Doc().m_dHomeLat = 10.0;
    Doc().m_dHomeLon = 20.0;
    CModalScript script;
    Choose(ID_OPTIONS_HOMELOCATION);  // cancelled by the script
    EXPECT_EQ(Doc().m_dHomeLat, 10.0);
    EXPECT_EQ(Doc().m_dHomeLon, 20.0);

    // A slip is answered by the box, then the dialog comes back with the texts
    // as typed; cancelling it keeps the stored place.
    std::vector<std::pair<std::string, std::string>> presets;
    script.m_answer = [&](wxDialog* pDlg) {
        auto* pHome = dynamic_cast<CHomeLocationDlg*>(pDlg);
        if (!pHome)
            return static_cast<int>(wxID_OK);
        presets.emplace_back(pHome->m_strLatitude, pHome->m_strLongitude);
        if (presets.size() > 1)
            return static_cast<int>(wxID_CANCEL);
        pHome->m_strLatitude = " N52";  // the letter is tested before trimming
        pHome->m_strLongitude = "E8";
        return static_cast<int>(wxID_OK);
    };
    script.m_seen.clear();
    Choose(ID_OPTIONS_HOMELOCATION);
    ASSERT_EQ(script.m_seen.size(), 3u);
    EXPECT_EQ(script.m_seen[1].strClass, "wxMessageDialog");
    EXPECT_EQ(script.m_seen[1].strTitle, "Halvex");
    EXPECT_EQ(script.m_seen[1].strMessage, "The latitude must begin with 'N' or 'S'.  Please try again");
    EXPECT_EQ(script.m_seen[2].strClass, script.m_seen[0].strClass);
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[1].first, " N52");
    EXPECT_EQ(presets[1].second, "E8");
    EXPECT_EQ(Doc().m_dHomeLat, 10.0);
    EXPECT_EQ(Doc().m_dHomeLon, 20.0);
}

TEST_F(MainWindowTest, LogDirectoryChooserIsTitledAndKeepsTheDirectoryWithoutAChoice)
{
    Open();
    CModalScript script;
    // The desktop's chooser reports a folder only when the user accepts one
    // in it; OK without a selection and Cancel both leave the directory.
    script.m_answer = [](wxDialog*) { return static_cast<int>(wxID_OK); };
    Choose(ID_DIRECTORIES_LOGFILES);
    script.m_answer = nullptr;
    Choose(ID_DIRECTORIES_LOGFILES);
    ASSERT_EQ(script.m_seen.size(), 2u);
    EXPECT_EQ(script.m_seen[0].strTitle, "Choose the directory for Halvex log files");
    EXPECT_EQ(Doc().m_messages.m_strLogDirectory, m_dir.Str() + "logs/");
}

TEST(DocUiWxTest, MessageBoxShowsProgramTextUnderTheProgramsTitle)
{
    CModalScript script;
    CWxDocUi ui;
    ui.ShowMessage("On opening the wave device..Unknown error \xB0");
    ASSERT_EQ(script.m_seen.size(), 1u);
    EXPECT_EQ(script.m_seen[0].strClass, "wxMessageDialog");
    EXPECT_EQ(script.m_seen[0].strTitle, "Halvex");
    EXPECT_EQ(script.m_seen[0].strMessage, "On opening the wave device..Unknown error \xC2\xB0");
}

TEST(DocUiWxTest, MenuTextsShowDeviceNamesLiterally)
{
    EXPECT_EQ(std::string(MenuLabelFromCp1252("Line In & Mic\tX").utf8_str()), "Line In && Mic X");
    EXPECT_EQ(std::string(MenuLabelFromCp1252("Caf\xE9").utf8_str()), "Caf\xC3\xA9");
}

TEST_F(MainWindowTest, GlobeFailureIsReportedOnceAndTheChartIsAllSea)
{
    Open();
    {
        CModalScript script;
        auto* pView = new CHalvexView(Frame(), Doc(), m_dir.Str() + "no-such-globe.dat");
        EXPECT_FALSE(pView->GlobeLoaded());
        ASSERT_EQ(script.m_seen.size(), 1u);
        EXPECT_EQ(script.m_seen[0].strMessage, "The file globe.dat could not be opened");
        for (uint8_t b : pView->Chart().m_byGlobe)
            ASSERT_EQ(b, 0);
        pView->Destroy();
    }
    {
        CModalScript script;
        auto* pView = new CHalvexView(Frame(), Doc(), std::string(HALVEX_SOURCE_DIR) + "/data/globe.dat");
        EXPECT_TRUE(pView->GlobeLoaded());
        EXPECT_TRUE(script.m_seen.empty());
        pView->Destroy();
    }
}
