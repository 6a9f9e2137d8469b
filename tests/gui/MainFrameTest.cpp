// The main window as the user meets it: menu texts and numbers, check items,
// update rules seen on the real items and buttons, tooltips and status
// texts, the status bar, help and the bar toggles.
#include <cstdint>
#include <set>
#include <string>

#include <wx/dcclient.h>
#include <wx/font.h>
#include <wx/statusbr.h>

#include "MainWindowFixture.h"
#include "document/CommandTable.h"
#include "messages/MessageStore.h"
#include "platform/Cp1252.h"

namespace {

std::string Utf8(const wxString& s)
{
    return std::string(s.utf8_str());
}

struct Expected
{
    int nId;  // original number; 0 for a separator
    const char* pszLabel;
};

void ExpectMenu(wxMenu* pMenu, const std::vector<Expected>& items, const char* pszWhere)
{
    SCOPED_TRACE(pszWhere);
    ASSERT_EQ(pMenu->GetMenuItemCount(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        wxMenuItem* pItem = pMenu->FindItemByPosition(i);
        if (items[i].nId == 0) {
            EXPECT_TRUE(pItem->IsSeparator()) << "position " << i;
            continue;
        }
        EXPECT_EQ(ResourceOfWxId(pItem->GetId()), items[i].nId) << "position " << i;
        EXPECT_EQ(Utf8(pItem->GetItemLabel()), items[i].pszLabel) << "position " << i;
    }
}

wxMenu* SubMenu(wxMenu* pMenu, const char* pszLabel)
{
    for (wxMenuItem* pItem : pMenu->GetMenuItems())
        if (pItem->IsSubMenu() && Utf8(pItem->GetItemLabel()) == pszLabel)
            return pItem->GetSubMenu();
    return nullptr;
}

}  // namespace

TEST(CommandMapTest, EveryCommandHasAValidDistinctWxIdAndMapsBack)
{
    std::set<int> wxIds;
    std::vector<int> numbers;
    for (const DocCommand& c : DocCommands())
        numbers.push_back(c.nId);
    for (int i = 0; i < kFrameworkCommandCount; ++i)
        numbers.push_back(kFrameworkCommands[i].nResourceId);
    for (int n : numbers) {
        const int id = WxIdOfResource(n);
        EXPECT_GT(id, 0) << n;
        EXPECT_LT(id, 0x7FFF) << n;  // wx refuses menu ids above
        EXPECT_TRUE(wxIds.insert(id).second) << "duplicate wx id for " << n;
        EXPECT_EQ(ResourceOfWxId(id), n);
    }
    EXPECT_EQ(WxIdOfResource(ID_PROCESS_START), 32771 - 0x7000);
    EXPECT_EQ(WxIdOfResource(IDR_APP_ABOUT), wxID_ABOUT);
    EXPECT_EQ(WxIdOfResource(IDR_APP_EXIT), wxID_EXIT);
    EXPECT_EQ(WxIdOfResource(12345), -1);
    EXPECT_EQ(ResourceOfWxId(12345), -1);
}

TEST(CommandMapTest, PromptsSplitIntoStatusTextAndTooltip)
{
    EXPECT_EQ(CommandPrompt(ID_PROCESS_START), "Start processing\nStart");
    EXPECT_EQ(CommandPrompt(ID_VIEW_SATELLITES), "View current satellite positions\nSats");
    EXPECT_EQ(CommandPrompt(IDR_CONTEXT_HELP),
              "Display help for clicked on buttons, menus and windows\nHelp");
    EXPECT_EQ(CommandPrompt(777), "");
}

TEST_F(MainWindowTest, MenuBarHoldsTheResourceMenusInOrder)
{
    Open();
    wxMenuBar* pBar = Frame()->GetMenuBar();
    ASSERT_EQ(pBar->GetMenuCount(), 5u);
    const char* const titles[] = {"&File", "&View", "Process", "Options", "&Help"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(Utf8(pBar->GetMenuLabel(i)), titles[i]);

    ExpectMenu(pBar->GetMenu(0),
               {{IDR_FILE_NEW, "&New\tCtrl+N"},
                {IDR_FILE_OPEN, "&Open...\tCtrl+O"},
                {IDR_FILE_SAVE, "&Save\tCtrl+S"},
                {IDR_FILE_SAVE_AS, "Save &As..."},
                {0, nullptr},
                {IDR_FILE_PRINT, "&Print...\tCtrl+P"},
                {IDR_FILE_PRINT_PREVIEW, "Print Pre&view"},
                {IDR_FILE_PRINT_SETUP, "P&rint Setup..."},
                {0, nullptr},
                {IDR_FILE_MRU_FILE1, "Recent File"},
                {0, nullptr},
                {IDR_APP_EXIT, "E&xit"}},
               "File");
    ExpectMenu(pBar->GetMenu(1),
               {{ID_VIEW_SIGNAL, "Signal"},
                {ID_VIEW_MESSAGES, "Messages"},
                {ID_VIEW_SATELLITES, "Satellites"},
                {ID_VIEW_CHART, "Chart"},
                {ID_VIEW_PASSES, "Passes"},
                {IDR_VIEW_TOOLBAR, "&Toolbar"},
                {IDR_VIEW_STATUS_BAR, "&Status Bar"}},
               "View");
    ExpectMenu(pBar->GetMenu(2), {{ID_PROCESS_START, "Start"}, {ID_PROCESS_STOP, "Stop"}}, "Process");
    ExpectMenu(pBar->GetMenu(4),
               {{IDR_HELP_FINDER, "&Help Topics"}, {0, nullptr}, {IDR_APP_ABOUT, "&About Halvex..."}},
               "Help");

    wxMenu* pOptions = pBar->GetMenu(3);
    ASSERT_EQ(pOptions->GetMenuItemCount(), 5u);
    wxMenu* pAudio = SubMenu(pOptions, "Audio");
    wxMenu* pDirectories = SubMenu(pOptions, "Directories");
    wxMenu* pDecoder = SubMenu(pOptions, "Decoder");
    ASSERT_TRUE(pAudio && pDirectories && pDecoder);
    EXPECT_EQ(ResourceOfWxId(pOptions->FindItemByPosition(3)->GetId()), ID_OPTIONS_HOMELOCATION);
    EXPECT_EQ(Utf8(pOptions->FindItemByPosition(3)->GetItemLabel()), "Home location");
    EXPECT_EQ(ResourceOfWxId(pOptions->FindItemByPosition(4)->GetId()), ID_OPTIONS_STATIONNETWORK);
    EXPECT_EQ(Utf8(pOptions->FindItemByPosition(4)->GetItemLabel()), "Station network...");
    ASSERT_EQ(pAudio->GetMenuItemCount(), 2u);
    EXPECT_EQ(ResourceOfWxId(pAudio->FindItemByPosition(0)->GetId()), ID_OPTIONS_MIXER);
    wxMenu* pSource = SubMenu(pAudio, "Source");
    ASSERT_NE(pSource, nullptr);
    ExpectMenu(pSource,
               {{ID_SOURCE_AUTOMATIC, "Automatic"},
                {ID_SOURCE_SOUNDCARD1, "Soundcard1"},
                {ID_SOURCE_SOUNDCARD2, "Soundcard2"},
                {ID_SOURCE_SOUNDCARD3, "Soundcard3"},
                {ID_SOURCE_SOUNDCARD4, "Soundcard4"}},
               "Source");
    ExpectMenu(pDirectories, {{ID_DIRECTORIES_LOGFILES, "Log files"}}, "Directories");
    ExpectMenu(pDecoder,
               {{ID_DECODER_REQUIRECRC, "Require CRC"},
                {ID_DECODER_EXPANDMESSAGES, "Expand messages"},
                {ID_DECODER_WEAKSIGNALS, "Weak signals"}},
               "Decoder");
}

TEST_F(MainWindowTest, ItemsThatUpdateRulesCheckAreCheckItemsWithTheirStatusText)
{
    Open();
    for (int id : std::vector<int>{ID_VIEW_SIGNAL, ID_VIEW_MESSAGES, ID_VIEW_SATELLITES, ID_VIEW_CHART,
                                   ID_VIEW_PASSES, ID_SOURCE_AUTOMATIC, ID_SOURCE_SOUNDCARD1,
                                   ID_SOURCE_SOUNDCARD4, ID_DECODER_REQUIRECRC, ID_DECODER_EXPANDMESSAGES,
                                   ID_DECODER_WEAKSIGNALS, IDR_VIEW_TOOLBAR, IDR_VIEW_STATUS_BAR})
        EXPECT_TRUE(Item(id)->IsCheckable()) << id;
    for (int id : std::vector<int>{ID_PROCESS_START, ID_PROCESS_STOP, ID_OPTIONS_MIXER,
                                   ID_DIRECTORIES_LOGFILES, ID_OPTIONS_HOMELOCATION, IDR_APP_ABOUT})
        EXPECT_FALSE(Item(id)->IsCheckable()) << id;

    EXPECT_EQ(Utf8(Item(ID_PROCESS_START)->GetHelp()), "Start processing");
    EXPECT_EQ(Utf8(Item(ID_DECODER_REQUIRECRC)->GetHelp()), "Only display and log messages with a valid CRC");
    EXPECT_EQ(Utf8(Item(ID_VIEW_CHART)->GetHelp()), "View current satellite positions on a chart");
    EXPECT_EQ(Utf8(Item(IDR_APP_ABOUT)->GetHelp()),
              "Display program information, version number and copyright");
}

TEST_F(MainWindowTest, UpdateRulesShowOnMenuItemsAndButtons)
{
    Open(Options(), nullptr, {"Line In & Mic", "USB Audio"});
    UpdateUi();
    // Devices found: named and enabled; without one: greyed, own text.
    EXPECT_EQ(Utf8(Item(ID_SOURCE_SOUNDCARD1)->GetItemLabelText()), "Line In & Mic");
    EXPECT_EQ(Utf8(Item(ID_SOURCE_SOUNDCARD2)->GetItemLabelText()), "USB Audio");
    EXPECT_TRUE(Item(ID_SOURCE_SOUNDCARD1)->IsEnabled());
    EXPECT_FALSE(Item(ID_SOURCE_SOUNDCARD3)->IsEnabled());
    EXPECT_EQ(Utf8(Item(ID_SOURCE_SOUNDCARD3)->GetItemLabelText()), "Soundcard3");
    EXPECT_FALSE(Item(ID_SOURCE_SOUNDCARD4)->IsEnabled());
    EXPECT_TRUE(Item(ID_SOURCE_AUTOMATIC)->IsEnabled());
    // First run: option 4 has no device, so no source is checked.
    for (int id = ID_SOURCE_AUTOMATIC; id <= ID_SOURCE_SOUNDCARD4; ++id)
        EXPECT_FALSE(Item(id)->IsChecked()) << id;
    EXPECT_TRUE(Item(ID_PROCESS_START)->IsEnabled());
    EXPECT_FALSE(Item(ID_PROCESS_STOP)->IsEnabled());
    EXPECT_TRUE(ToolEnabled(ID_PROCESS_START));
    EXPECT_FALSE(ToolEnabled(ID_PROCESS_STOP));
    EXPECT_TRUE(Item(ID_VIEW_SIGNAL)->IsChecked());
    EXPECT_FALSE(Item(ID_VIEW_CHART)->IsChecked());
    EXPECT_TRUE(ToolChecked(ID_VIEW_SIGNAL));
    EXPECT_TRUE(Item(ID_DECODER_REQUIRECRC)->IsChecked());
    EXPECT_TRUE(Item(ID_DECODER_EXPANDMESSAGES)->IsChecked());
    EXPECT_TRUE(Item(IDR_VIEW_TOOLBAR)->IsChecked());
    EXPECT_TRUE(Item(IDR_VIEW_STATUS_BAR)->IsChecked());
    EXPECT_FALSE(Item(IDR_FILE_MRU_FILE1)->IsEnabled());

    Doc().m_nSoundcardOption = 2;
    Doc().m_nViewMode = 3;
    Doc().m_messages.m_bRequireCrc = 0;
    Doc().m_bRunning = 1;  // as a running capture would have it
    UpdateUi();
    EXPECT_TRUE(Item(ID_SOURCE_SOUNDCARD2)->IsChecked());
    EXPECT_FALSE(Item(ID_SOURCE_SOUNDCARD1)->IsChecked());
    EXPECT_TRUE(Item(ID_VIEW_CHART)->IsChecked());
    EXPECT_FALSE(Item(ID_VIEW_SIGNAL)->IsChecked());
    EXPECT_TRUE(ToolChecked(ID_VIEW_CHART));
    EXPECT_FALSE(ToolChecked(ID_VIEW_SIGNAL));
    EXPECT_FALSE(Item(ID_DECODER_REQUIRECRC)->IsChecked());
    EXPECT_FALSE(Item(ID_PROCESS_START)->IsEnabled());
    EXPECT_TRUE(Item(ID_PROCESS_STOP)->IsEnabled());
    EXPECT_FALSE(ToolEnabled(ID_PROCESS_START));
    EXPECT_TRUE(ToolEnabled(ID_PROCESS_STOP));
    Doc().m_bRunning = 0;
}

TEST_F(MainWindowTest, MenuAndToolbarCommandsReachTheDocument)
{
    Open();
    Choose(ID_VIEW_CHART);
    EXPECT_EQ(Doc().m_nViewMode, 3);
    Choose(ID_VIEW_MESSAGES);
    EXPECT_EQ(Doc().m_nViewMode, 1);
    Choose(ID_DECODER_EXPANDMESSAGES);
    EXPECT_EQ(Doc().m_messages.m_bExpandMsgs, 0);
    Choose(ID_SOURCE_SOUNDCARD1);
    EXPECT_EQ(Doc().m_nSoundcardOption, 1);

    // A click on a toolbar button arrives as the same command.
    wxCommandEvent click(wxEVT_TOOL, WxIdOfResource(ID_VIEW_SATELLITES));
    click.SetEventObject(Frame()->GetToolBar());
    Frame()->GetToolBar()->ProcessWindowEvent(click);
    EXPECT_EQ(Doc().m_nViewMode, 2);
    UpdateUi();
    EXPECT_TRUE(ToolChecked(ID_VIEW_SATELLITES));
    EXPECT_FALSE(ToolChecked(ID_VIEW_MESSAGES));
}

TEST_F(MainWindowTest, ToolbarButtonsCarryTooltipsAndStatusTexts)
{
    Open();
    wxToolBar* pBar = Frame()->GetToolBar();
    struct Button
    {
        int nId;
        const char* pszTip;
        const char* pszStatus;
    };
    const Button buttons[] = {
        {ID_PROCESS_START, "Start", "Start processing"},
        {ID_PROCESS_STOP, "Stop", "Stop processing"},
        {0, "", ""},
        {ID_VIEW_SIGNAL, "Signal", "View signal"},
        {ID_VIEW_MESSAGES, "Messages", "View decoded messages"},
        {ID_VIEW_SATELLITES, "Sats", "View current satellite positions"},
        {ID_VIEW_CHART, "Chart", "View current satellite positions on a chart"},
        {ID_VIEW_PASSES, "Passes", "View the passes of the next 24 hours"},
        {0, "", ""},
        {IDR_APP_ABOUT, "About", "Display program information, version number and copyright"},
        {IDR_CONTEXT_HELP, "Help", "Display help for clicked on buttons, menus and windows"},
    };
    ASSERT_EQ(pBar->GetToolsCount(), sizeof buttons / sizeof buttons[0]);
    for (size_t i = 0; i < pBar->GetToolsCount(); ++i) {
        const wxToolBarToolBase* pTool = pBar->GetToolByPos(static_cast<int>(i));
        if (buttons[i].nId == 0) {
            EXPECT_TRUE(pTool->IsSeparator()) << i;
            continue;
        }
        EXPECT_EQ(ResourceOfWxId(pTool->GetId()), buttons[i].nId) << i;
        EXPECT_EQ(Utf8(pTool->GetShortHelp()), buttons[i].pszTip) << i;
        EXPECT_EQ(Utf8(pTool->GetLongHelp()), buttons[i].pszStatus) << i;
        EXPECT_TRUE(pTool->GetNormalBitmap().IsOk()) << i;
        EXPECT_EQ(pTool->GetNormalBitmap().GetSize(), wxSize(16, 15)) << i;
    }
    for (int id : std::vector<int>{ID_VIEW_SIGNAL, ID_VIEW_MESSAGES, ID_VIEW_SATELLITES, ID_VIEW_CHART,
                                   ID_VIEW_PASSES})
        EXPECT_TRUE(pBar->FindById(WxIdOfResource(id))->CanBeToggled()) << id;
}

TEST_F(MainWindowTest, StatusBarHasMessagePaneAndKeyIndicators)
{
    Open();
    EXPECT_EQ(Title(), "Halvex");
    wxStatusBar* pBar = Frame()->GetStatusBar();
    ASSERT_EQ(pBar->GetFieldsCount(), 4);
    EXPECT_EQ(Utf8(pBar->GetStatusText(0)), "For Help, press F1");
    Frame()->ShowKeyIndicators(true, false, true);
    EXPECT_EQ(Utf8(pBar->GetStatusText(1)), "CAP");
    EXPECT_EQ(Utf8(pBar->GetStatusText(2)), "");
    EXPECT_EQ(Utf8(pBar->GetStatusText(3)), "SCRL");
    Frame()->ShowKeyIndicators(false, true, false);
    EXPECT_EQ(Utf8(pBar->GetStatusText(1)), "");
    EXPECT_EQ(Utf8(pBar->GetStatusText(2)), "NUM");
    EXPECT_EQ(Utf8(pBar->GetStatusText(3)), "");
}

TEST_F(MainWindowTest, EveryHelpCommandOpensTheManual)
{
    Open();
    for (int id : std::vector<int>{IDR_HELP_FINDER, IDR_HELP, IDR_CONTEXT_HELP, IDR_DEFAULT_HELP})
        Choose(id);
    ASSERT_EQ(m_shellCalls.size(), 4u);
    for (const auto& call : m_shellCalls) {
        EXPECT_EQ(call.verb, "open");
        EXPECT_EQ(call.params, "");
        EXPECT_NE(call.file.find("manual/index.html"), std::string::npos) << call.file;
        EXPECT_EQ(call.file, m_shellCalls[0].file);
    }
}

TEST_F(MainWindowTest, FirstWindowShowsTheLongestMessageLinesWhole)
{
    Open();
    // A longest frame whose check value failed, and an orbit bulletin's
    // expansion, as the messages mode draws them.
    const uint8_t frame[46] = {0xDB, 0xDB, 0xDB, 0xDB, 0xDB, 0xDB, 0xDB, 0xDB};
    FrameVerdict failed;
    failed.wComputed = 0x1234;
    const std::string message = CMessageStore::FormatMessageLine(frame, 46, failed, 1261871999);
    ASSERT_EQ(131u, message.size()) << message;
    const std::string expansion =
        "Metop-A Ephem: Eqx 2009-05-01 12:52:27;Eql 359.999;dl -25.601\xB0;per 102.123m;"
        "a 7229.123km;a' -12.3m/d;Inc 98.72340\xB0";
    wxClientDC dc(View());
    dc.SetFont(wxFont(wxFontInfo(10).FaceName("Courier New")));
    const int nView = View()->GetClientSize().GetWidth();
    EXPECT_GE(nView, dc.GetTextExtent(wxString::FromUTF8(Cp1252ToUtf8(message))).GetWidth());
    EXPECT_GE(nView, dc.GetTextExtent(wxString::FromUTF8(Cp1252ToUtf8(expansion))).GetWidth());
    // ...and no wider than the screen.
    EXPECT_LE(Frame()->GetSize().GetWidth(), wxGetClientDisplayRect().GetWidth());
}

TEST_F(MainWindowTest, HelpAndMixerThatStartNothingShowABox)
{
    Open();
    m_bShellFails = true;
    CModalScript script;
    for (int id : std::vector<int>{IDR_HELP_FINDER, IDR_HELP, ID_OPTIONS_MIXER})
        Choose(id);
    ASSERT_EQ(m_shellCalls.size(), 3u);
    ASSERT_EQ(script.m_seen.size(), 3u);
    for (const auto& seen : script.m_seen) {
        EXPECT_EQ(seen.strClass, "wxMessageDialog");
        EXPECT_EQ(seen.strTitle, "Halvex");
        EXPECT_EQ(seen.strMessage, "The program xdg-open was not found.");
    }
}

TEST_F(MainWindowTest, ToolbarAndStatusBarToggleFromTheViewMenu)
{
    Open();
    Choose(IDR_VIEW_TOOLBAR);
    UpdateUi();
    EXPECT_FALSE(Frame()->GetToolBar()->IsShown());
    EXPECT_FALSE(Item(IDR_VIEW_TOOLBAR)->IsChecked());
    Choose(IDR_VIEW_TOOLBAR);
    UpdateUi();
    EXPECT_TRUE(Frame()->GetToolBar()->IsShown());
    EXPECT_TRUE(Item(IDR_VIEW_TOOLBAR)->IsChecked());

    Choose(IDR_VIEW_STATUS_BAR);
    UpdateUi();
    EXPECT_FALSE(Frame()->GetStatusBar()->IsShown());
    EXPECT_FALSE(Item(IDR_VIEW_STATUS_BAR)->IsChecked());
}

TEST_F(MainWindowTest, NewChangesNothingWhileCapturing)
{
    Open();
    Doc().m_dHomeLat = 52.5;
    Choose(ID_PROCESS_START);
    ASSERT_EQ(Doc().m_bRunning, 1);
    Choose(IDR_FILE_NEW);
    EXPECT_EQ(Doc().m_bRunning, 1);
    EXPECT_EQ(Title(), "Halvex from Norq - processing live signals");
    Choose(ID_PROCESS_STOP);
}

TEST_F(MainWindowTest, AboutShowsTheApplicationsVersionLine)
{
    Open();
    CModalScript script;
    std::string shown, title;
    script.m_answer = [&](wxDialog* pDlg) {
        pDlg->CallAfter([&, pDlg] {
            title = Utf8(pDlg->GetTitle());
            if (wxWindow* pText = pDlg->FindWindow(1000))
                shown = Utf8(pText->GetLabel());
            pDlg->EndModal(wxID_OK);
        });
        return static_cast<int>(wxID_NONE);  // show it for real
    };
    EXPECT_EQ(Utf8(App().m_strAboutText), "Halvex3 version 2.1");
    App().m_strAboutText = "Halvex3 version 2.1 (test)";
    Choose(IDR_APP_ABOUT);
    App().m_strAboutText = "Halvex3 version 2.1";
    EXPECT_EQ(script.Count("CAboutDlg"), 1);
    EXPECT_EQ(title, "About Halvex");
    EXPECT_EQ(shown, "Halvex3 version 2.1 (test)");
}

TEST_F(MainWindowTest, ThePassesViewFromTheMenuAndTheToolbar)
{
    Open();
    Choose(ID_VIEW_PASSES);
    EXPECT_EQ(Doc().m_nViewMode, 4);
    UpdateUi();
    EXPECT_TRUE(Item(ID_VIEW_PASSES)->IsChecked());
    EXPECT_FALSE(Item(ID_VIEW_CHART)->IsChecked());
    EXPECT_TRUE(ToolChecked(ID_VIEW_PASSES));
    EXPECT_EQ(Utf8(Item(ID_VIEW_PASSES)->GetHelp()), "View the passes of the next 24 hours");

    Choose(ID_VIEW_CHART);
    wxCommandEvent click(wxEVT_TOOL, WxIdOfResource(ID_VIEW_PASSES));
    click.SetEventObject(Frame()->GetToolBar());
    Frame()->GetToolBar()->ProcessWindowEvent(click);
    EXPECT_EQ(Doc().m_nViewMode, 4);
    UpdateUi();
    EXPECT_TRUE(ToolChecked(ID_VIEW_PASSES));
    EXPECT_FALSE(ToolChecked(ID_VIEW_CHART));
}
