#include <gtest/gtest.h>

#include <set>

#include "document/CommandIds.h"
#include "document/CommandTable.h"
#include "platform/SettingsPaths.h"
#include "support/DocTestSupport.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

namespace {

const int kSourceIds[5] = {ID_SOURCE_AUTOMATIC, ID_SOURCE_SOUNDCARD1, ID_SOURCE_SOUNDCARD2,
                           ID_SOURCE_SOUNDCARD3, ID_SOURCE_SOUNDCARD4};

FakeCmdUI Update(CHalvexDoc& doc, int id)
{
    FakeCmdUI cmdUi;
    EXPECT_TRUE(doc.OnUpdateCommand(id, cmdUi)) << id;
    return cmdUi;
}

}  // namespace

// --- Construction --------------------------------------------------------------

TEST_F(DocTest, ValuesAfterConstructionWithoutSettings)
{
    auto doc = MakeDoc();
    EXPECT_EQ(doc->m_bRunning, 0);
    EXPECT_EQ(doc->m_bBusy, 0);
    EXPECT_EQ(doc->m_nSoundcardOption, 4);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(doc->m_nDeviceId[k], -1);
    EXPECT_EQ(doc->m_strDeviceName[0], "Automatic");
    for (int k = 1; k < 5; ++k)
        EXPECT_EQ(doc->m_strDeviceName[k], "");
    EXPECT_EQ(doc->m_strProgramDir, "/opt/halvex/");
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, m_logs);
    EXPECT_EQ(doc->m_strBrowseStart, m_logs);
    EXPECT_EQ(doc->m_nViewMode, 0);
    EXPECT_EQ(doc->m_messages.m_bRequireCrc, 1);
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 1);
    for (int i = 0; i < CSatelliteTable::kEntries; ++i) {
        EXPECT_EQ(doc->m_table.m_nEqx[i], 0);
        EXPECT_EQ(doc->m_table.m_dEql[i], 0.0);
        EXPECT_EQ(doc->m_table.m_dPer[i], 0.0);
        EXPECT_EQ(doc->m_table.m_dInc[i], 0.0);
        EXPECT_EQ(doc->m_table.m_dLastGroundDist[i], 0.0);
    }
    EXPECT_EQ(doc->m_dHomeLat, 0.0);
    EXPECT_EQ(doc->m_dHomeLon, 0.0);
    EXPECT_EQ(doc->m_bRecomputeChart, 1);
    EXPECT_EQ(doc->m_decoder.m_nSkipCount, 0);
    EXPECT_EQ(doc->m_decoder.m_frameCheck.m_bCrcTableReady, 0);
    EXPECT_EQ(doc->m_capture.m_hWaveIn, nullptr);
    EXPECT_FALSE(doc->m_capture.m_pWaveHdr[0]);
    EXPECT_EQ(doc->SettingsPath(), m_settings);
    EXPECT_EQ(&doc->Clock(), &m_clock);
    // Construction shows nothing and asks nothing.
    EXPECT_TRUE(m_ui.messages.empty());
    EXPECT_TRUE(m_ui.titles.empty());
    EXPECT_TRUE(m_ui.timersSet.empty());
    EXPECT_TRUE(m_ui.homeDialogPresets.empty());
}

TEST_F(DocTest, DefaultsComeFromThePlatformWhenNotGiven)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", (m_dir + "/data").c_str(), 1);
    DocEnvironment env = Env();
    env.strProgramDir.clear();
    env.strDefaultLogDir.clear();
    env.pClock = nullptr;
    {
        CHalvexDoc doc(env);
        EXPECT_EQ(doc.m_messages.m_strLogDirectory, m_dir + "/data/halvex3/Log files/");
        EXPECT_EQ(doc.m_strProgramDir, ExecutableDirectory());
        // The owned system clock is about now.
        EXPECT_GT(doc.Clock().Now(), 1600000000);
    }
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST_F(DocTest, HeadlessDocumentWithoutUserInterface)
{
    DocEnvironment env = Env();
    env.pUi = nullptr;
    CHalvexDoc doc(env);
    ASSERT_NE(doc.Environment().pUi, nullptr);
    doc.OnCommand(ID_VIEW_CHART);
    doc.OnOptionsHomeLocation();  // cancelled
    doc.OnDirectoriesLogFiles();  // cancelled
    EXPECT_EQ(doc.m_nViewMode, 3);
    EXPECT_EQ(doc.m_dHomeLat, 0.0);
    EXPECT_EQ(doc.m_messages.m_strLogDirectory, m_logs);
}

TEST_F(DocTest, DecoderFramesReachTheMessageLinesAndRedrawTheViews)
{
    auto doc = MakeDoc();
    doc->m_messages.m_strLogDirectory = m_logs;
    BulletinFields fields;
    fields.nCode = 8;
    CModulator modulator;
    modulator.AppendFlags(10);
    modulator.AppendFrame(BuildOrbitBulletin(fields));
    modulator.AppendFlags(10);
    modulator.AppendSilence(48000);
    for (uint8_t s : modulator.Samples())
        doc->ProcessSample(s);
    EXPECT_EQ(m_ui.nUpdateAllViews, 1);
    EXPECT_TRUE(doc->m_table.HasElements(8));
    EXPECT_FALSE(doc->m_messages.m_strMessages[0].empty());
    EXPECT_FALSE(doc->m_messages.m_strMessages[1].empty());  // the expansion line
}

// --- Device scan ---------------------------------------------------------------

TEST_F(DocTest, DeviceScanOffersAtMostFourDevicesAndAsksTheCountEachPass)
{
    FakeDeviceList devices;
    devices.names = {"Card A", "Card B", "Card C", "Card D", "Card E", "Card F"};
    auto doc = MakeDoc(&devices);
    EXPECT_EQ(devices.nGetNumDevsCalls, 7);
    EXPECT_EQ(devices.capsIds, (std::vector<unsigned>{0, 1, 2, 3, 4, 5}));
    for (unsigned size : devices.capsSizes)
        EXPECT_EQ(size, 48u);
    EXPECT_EQ(doc->m_strDeviceName[0], "Automatic");
    EXPECT_EQ(doc->m_nDeviceId[0], -1);
    for (int k = 1; k < 5; ++k) {
        EXPECT_EQ(doc->m_strDeviceName[k], devices.names[k - 1]);
        EXPECT_EQ(doc->m_nDeviceId[k], k - 1);
    }
    EXPECT_EQ(doc->m_nSoundcardOption, 4);
}

TEST_F(DocTest, DeviceScanSkipsDevicesWhoseCapabilitiesFailAndCutsLongNames)
{
    FakeDeviceList devices;
    devices.names = {std::string(40, 'x'), "Broken", "Third"};
    devices.failingIds = {1};
    auto doc = MakeDoc(&devices);
    EXPECT_EQ(doc->m_strDeviceName[1], std::string(31, 'x'));
    EXPECT_EQ(doc->m_strDeviceName[2], "");
    EXPECT_EQ(doc->m_nDeviceId[2], -1);
    EXPECT_EQ(doc->m_strDeviceName[3], "Third");
    EXPECT_EQ(doc->m_nDeviceId[3], 2);
    EXPECT_EQ(doc->m_strDeviceName[4], "");
    EXPECT_EQ(doc->m_nDeviceId[4], -1);
}

// --- Update rules --------------------------------------------------------------

TEST_F(DocTest, SourceRuleWithoutAnyDevice)
{
    auto doc = MakeDoc();
    for (int option : {4, 0}) {
        doc->m_nSoundcardOption = option;
        FakeCmdUI automatic = Update(*doc, ID_SOURCE_AUTOMATIC);
        EXPECT_TRUE(automatic.bEnableCalled && automatic.bEnabled);
        EXPECT_EQ(automatic.strText, "Automatic");
        EXPECT_TRUE(automatic.bCheckCalled);
        EXPECT_EQ(automatic.nCheck, option == 0 ? 1 : 0);
        for (int k = 1; k < 5; ++k) {
            FakeCmdUI card = Update(*doc, kSourceIds[k]);
            EXPECT_TRUE(card.bEnableCalled);
            EXPECT_FALSE(card.bEnabled);
            EXPECT_TRUE(card.bCheckCalled);
            EXPECT_EQ(card.nCheck, 0);
            // The item keeps its own menu text.
            EXPECT_FALSE(card.bTextCalled);
        }
    }
}

TEST_F(DocTest, SourceRuleWithOneDeviceAndOptionFourChecksNothing)
{
    FakeDeviceList devices;
    devices.names = {"USB Audio"};
    auto doc = MakeDoc(&devices);
    ASSERT_EQ(doc->m_nSoundcardOption, 4);
    FakeCmdUI automatic = Update(*doc, ID_SOURCE_AUTOMATIC);
    EXPECT_EQ(automatic.nCheck, 0);
    FakeCmdUI card1 = Update(*doc, ID_SOURCE_SOUNDCARD1);
    EXPECT_TRUE(card1.bEnabled);
    EXPECT_EQ(card1.strText, "USB Audio");
    EXPECT_EQ(card1.nCheck, 0);
    FakeCmdUI card4 = Update(*doc, ID_SOURCE_SOUNDCARD4);
    EXPECT_FALSE(card4.bEnabled);
    EXPECT_EQ(card4.nCheck, 0);

    EXPECT_TRUE(doc->OnCommand(ID_SOURCE_SOUNDCARD1));
    EXPECT_EQ(doc->m_nSoundcardOption, 1);
    EXPECT_EQ(Update(*doc, ID_SOURCE_SOUNDCARD1).nCheck, 1);
    EXPECT_EQ(Update(*doc, ID_SOURCE_AUTOMATIC).nCheck, 0);
}

TEST_F(DocTest, SourceCommandsSetTheOptionWhetherOrNotADeviceExists)
{
    auto doc = MakeDoc();
    for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(doc->OnCommand(kSourceIds[k]));
        EXPECT_EQ(doc->m_nSoundcardOption, k);
    }
}

TEST_F(DocTest, StartAndStopFollowTheRunningFlag)
{
    auto doc = MakeDoc();
    EXPECT_TRUE(Update(*doc, ID_PROCESS_START).bEnabled);
    EXPECT_FALSE(Update(*doc, ID_PROCESS_STOP).bEnabled);
    doc->m_bRunning = 1;
    EXPECT_FALSE(Update(*doc, ID_PROCESS_START).bEnabled);
    EXPECT_TRUE(Update(*doc, ID_PROCESS_STOP).bEnabled);
    for (int id : {ID_PROCESS_START, ID_PROCESS_STOP}) {
        FakeCmdUI cmdUi = Update(*doc, id);
        EXPECT_FALSE(cmdUi.bCheckCalled);
        EXPECT_FALSE(cmdUi.bTextCalled);
    }
    doc->m_bRunning = 0;
}

TEST_F(DocTest, AlwaysEnabledItemsAndTheHomeLocationWithoutARule)
{
    auto doc = MakeDoc();
    doc->m_bRunning = 1;
    for (int id : {ID_OPTIONS_MIXER, ID_DIRECTORIES_LOGFILES}) {
        FakeCmdUI cmdUi = Update(*doc, id);
        EXPECT_TRUE(cmdUi.bEnableCalled && cmdUi.bEnabled);
        EXPECT_EQ(cmdUi.nCalls, 1);
    }
    FakeCmdUI home;
    EXPECT_FALSE(doc->OnUpdateCommand(ID_OPTIONS_HOMELOCATION, home));
    EXPECT_EQ(home.nCalls, 0);
    doc->m_bRunning = 0;

    FakeCmdUI other;
    EXPECT_FALSE(doc->OnUpdateCommand(57600, other));
    EXPECT_FALSE(doc->OnCommand(57600));
    EXPECT_FALSE(doc->OnCommand(0));
}

TEST_F(DocTest, DecoderOptionsToggleAndShowTheirChecks)
{
    auto doc = MakeDoc();
    EXPECT_EQ(Update(*doc, ID_DECODER_REQUIRECRC).nCheck, 1);
    EXPECT_EQ(Update(*doc, ID_DECODER_EXPANDMESSAGES).nCheck, 1);
    EXPECT_TRUE(doc->OnCommand(ID_DECODER_REQUIRECRC));
    EXPECT_EQ(doc->m_messages.m_bRequireCrc, 0);
    EXPECT_EQ(Update(*doc, ID_DECODER_REQUIRECRC).nCheck, 0);
    EXPECT_EQ(Update(*doc, ID_DECODER_EXPANDMESSAGES).nCheck, 1);
    EXPECT_TRUE(doc->OnCommand(ID_DECODER_EXPANDMESSAGES));
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 0);
    EXPECT_EQ(Update(*doc, ID_DECODER_EXPANDMESSAGES).nCheck, 0);
    doc->OnCommand(ID_DECODER_REQUIRECRC);
    doc->OnCommand(ID_DECODER_EXPANDMESSAGES);
    EXPECT_EQ(doc->m_messages.m_bRequireCrc, 1);
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 1);
    // A value other than 1 counts as on, and turns off.
    doc->m_messages.m_bExpandMsgs = 5;
    EXPECT_EQ(Update(*doc, ID_DECODER_EXPANDMESSAGES).nCheck, 1);
    doc->OnCommand(ID_DECODER_EXPANDMESSAGES);
    EXPECT_EQ(doc->m_messages.m_bExpandMsgs, 0);
    EXPECT_EQ(m_ui.nUpdateAllViews, 0);
}

TEST_F(DocTest, ViewCommandsSetTheModeAndRedrawOnce)
{
    auto doc = MakeDoc();
    const int ids[4] = {ID_VIEW_SIGNAL, ID_VIEW_MESSAGES, ID_VIEW_SATELLITES, ID_VIEW_CHART};
    int redraws = 0;
    for (int mode : {2, 0, 3, 1, 1}) {
        EXPECT_TRUE(doc->OnCommand(ids[mode]));
        EXPECT_EQ(doc->m_nViewMode, mode);
        EXPECT_EQ(m_ui.nUpdateAllViews, ++redraws);
        for (int k = 0; k < 4; ++k) {
            FakeCmdUI cmdUi = Update(*doc, ids[k]);
            EXPECT_EQ(cmdUi.nCheck, k == mode ? 1 : 0);
            EXPECT_FALSE(cmdUi.bEnableCalled);
        }
    }
}

TEST_F(DocTest, OptionsLeaveARunningCaptureAlone)
{
    FakeDeviceList devices;
    devices.names = {"A", "B"};
    auto doc = MakeDoc(&devices);
    doc->m_bRunning = 1;
    for (int id :
         {ID_SOURCE_SOUNDCARD2, ID_DECODER_REQUIRECRC, ID_DECODER_EXPANDMESSAGES, ID_SOURCE_AUTOMATIC})
        EXPECT_TRUE(doc->OnCommand(id));
    m_ui.AnswerFolder("/elsewhere");
    doc->OnCommand(ID_DIRECTORIES_LOGFILES);
    EXPECT_EQ(doc->m_bRunning, 1);
    EXPECT_TRUE(m_ui.titles.empty());
    EXPECT_TRUE(m_ui.timersKilled.empty());
    EXPECT_TRUE(m_ui.messages.empty());
    doc->m_bRunning = 0;
}

// --- Command table ---------------------------------------------------------------

TEST(CommandTable, IdsPromptsAndMenuPathsAsTheResourcesHaveThem)
{
    struct Expected
    {
        int id;
        const char* prompt;
        const char* item;
    };
    const Expected expected[] = {
        {32780, "View signal\nSignal", "Signal"},
        {32781, "View decoded messages\nMessages", "Messages"},
        {32789, "View current satellite positions\nSats", "Satellites"},
        {32790, "View current satellite positions on a chart\nChart", "Chart"},
        {32791, "View the passes of the next 24 hours\nPasses", "Passes"},
        {32771, "Start processing\nStart", "Start"},
        {32772, "Stop processing\nStop", "Stop"},
        {32773, "Open the audio mixer", "Mixer"},
        {32774, "Use the default sound card", "Automatic"},
        {32775, "Use soundcard 1", "Soundcard1"},
        {32776, "Use soundcard 2", "Soundcard2"},
        {32777, "Use soundcard 3", "Soundcard3"},
        {32778, "Use soundcard 4", "Soundcard4"},
        {32779, "Specify the directory for log files", "Log files"},
        {32787, "Only display and log messages with a valid CRC", "Require CRC"},
        {32788, "Expand the decoded hex messages", "Expand messages"},
        {32794, "Also decode weak and drifting signals with a second receiver", "Weak signals"},
        {32793, "Specify your home location", "Home location"},
        {32810, "Specify the broker and the station name for publishing the decoded messages",
         "Station network..."},
    };
    auto commands = DocCommands();
    ASSERT_EQ(commands.size(), std::size(expected));
    std::set<int> seen;
    for (size_t i = 0; i < commands.size(); ++i) {
        const DocCommand& c = commands[i];
        EXPECT_EQ(c.nId, expected[i].id);
        EXPECT_STREQ(c.pszPrompt, expected[i].prompt);
        EXPECT_TRUE(c.pfnHandler != nullptr);
        EXPECT_TRUE(seen.insert(c.nId).second);
        EXPECT_EQ(FindDocCommand(c.nId), &c);
        // The last named entry is the item's own text.
        const char* item = nullptr;
        for (const char* part : c.menuPath)
            if (part)
                item = part;
        EXPECT_STREQ(item, expected[i].item);
    }
    EXPECT_STREQ(FindDocCommand(32775)->menuPath[0], "Options");
    EXPECT_STREQ(FindDocCommand(32775)->menuPath[1], "Audio");
    EXPECT_STREQ(FindDocCommand(32775)->menuPath[2], "Source");
    EXPECT_STREQ(FindDocCommand(32787)->menuPath[1], "Decoder");
    EXPECT_STREQ(FindDocCommand(32779)->menuPath[1], "Directories");
    EXPECT_STREQ(FindDocCommand(32780)->menuPath[0], "&View");
    EXPECT_STREQ(FindDocCommand(32771)->menuPath[0], "Process");
    EXPECT_EQ(FindDocCommand(32793)->pfnUpdate, nullptr);
    EXPECT_STREQ(FindDocCommand(32810)->menuPath[0], "Options");
    EXPECT_EQ(FindDocCommand(32810)->menuPath[2], nullptr);
    EXPECT_EQ(FindDocCommand(57664), nullptr);

    EXPECT_EQ(PromptStatusText("Start processing\nStart"), "Start processing");
    EXPECT_EQ(PromptToolTip("Start processing\nStart"), "Start");
    EXPECT_EQ(PromptStatusText("Use soundcard 1"), "Use soundcard 1");
    EXPECT_EQ(PromptToolTip("Use soundcard 1"), "");
}

// --- Log directory ---------------------------------------------------------------

TEST_F(DocTest, LogDirectoryIsChosenWithTheFolderBrowser)
{
    auto doc = MakeDoc();
    m_ui.AnswerFolder("/data/halvex logs");
    EXPECT_TRUE(doc->OnCommand(ID_DIRECTORIES_LOGFILES));
    ASSERT_EQ(m_ui.folderRequests.size(), 1u);
    EXPECT_EQ(m_ui.folderRequests[0].strTitle, "Choose the directory for Halvex log files");
    EXPECT_EQ(m_ui.folderRequests[0].strStart, m_logs);
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, "/data/halvex logs/");

    // The browser opens at the current directory; the root keeps one separator.
    m_ui.AnswerFolder("/");
    doc->OnDirectoriesLogFiles();
    EXPECT_EQ(m_ui.folderRequests[1].strStart, "/data/halvex logs/");
    EXPECT_EQ(doc->m_strBrowseStart, "/data/halvex logs/");
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, "/");

    m_ui.AnswerFolder("/already/");
    doc->OnDirectoriesLogFiles();
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, "/already/");

    m_ui.CancelFolder();
    doc->OnDirectoriesLogFiles();
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, "/already/");
    // An empty answer is no folder.
    m_ui.AnswerFolder("");
    doc->OnDirectoriesLogFiles();
    EXPECT_EQ(doc->m_messages.m_strLogDirectory, "/already/");
    EXPECT_TRUE(m_ui.messages.empty());
}

// --- Home location ---------------------------------------------------------------

TEST_F(DocTest, HomeLocationDialogPresetsAndOk)
{
    auto doc = MakeDoc();
    doc->m_bRecomputeChart = 0;
    m_ui.AnswerHomeDialog("N52 30.5", "W8 36.5");
    EXPECT_TRUE(doc->OnCommand(ID_OPTIONS_HOMELOCATION));
    ASSERT_EQ(m_ui.homeDialogPresets.size(), 1u);
    EXPECT_EQ(m_ui.homeDialogPresets[0].first, "N00 00.0000");
    EXPECT_EQ(m_ui.homeDialogPresets[0].second, "E000 00.0000");
    EXPECT_NEAR(doc->m_dHomeLat, 52.508333, 5e-7);
    EXPECT_NEAR(doc->m_dHomeLon, -8.608333, 5e-7);
    EXPECT_EQ(doc->m_bRecomputeChart, 1);
    EXPECT_EQ(m_ui.nUpdateAllViews, 0);
    EXPECT_TRUE(m_ui.messages.empty());

    m_ui.CancelHomeDialog();
    doc->m_bRecomputeChart = 0;
    doc->OnOptionsHomeLocation();
    EXPECT_EQ(m_ui.homeDialogPresets[1].first, "N52 30.5000");
    EXPECT_EQ(m_ui.homeDialogPresets[1].second, "W008 36.5000");
    EXPECT_NEAR(doc->m_dHomeLat, 52.508333, 5e-7);
    EXPECT_EQ(doc->m_bRecomputeChart, 0);
}

TEST_F(DocTest, HomeLocationErrorsAreShownLatitudeFirstAndKeepThePreviousPlace)
{
    auto doc = MakeDoc();
    doc->m_dHomeLat = 10.0;
    doc->m_dHomeLon = 20.0;
    doc->m_bRecomputeChart = 0;
    m_ui.AnswerHomeDialog("X52", "E190");
    doc->OnOptionsHomeLocation();  // then the script runs out: cancelled
    ASSERT_EQ(m_ui.messages.size(), 2u);
    EXPECT_EQ(m_ui.messages[0], "The latitude must begin with 'N' or 'S'.  Please try again");
    EXPECT_EQ(m_ui.messages[1], "The longitude that you have entered is invalid. Please try again");
    // The stored place survives the slip and the cancel...
    EXPECT_EQ(doc->m_dHomeLat, 10.0);
    EXPECT_EQ(doc->m_dHomeLon, 20.0);
    EXPECT_EQ(doc->m_bRecomputeChart, 0);
    // ...and the dialog came back with the texts as typed.
    ASSERT_EQ(m_ui.homeDialogPresets.size(), 2u);
    EXPECT_EQ(m_ui.homeDialogPresets[1].first, "X52");
    EXPECT_EQ(m_ui.homeDialogPresets[1].second, "E190");

    // One good, one bad: each is still read on its own, and nothing is taken
    // until both read; the corrected second try is taken.
    m_ui.messages.clear();
    m_ui.homeDialogPresets.clear();
    m_ui.AnswerHomeDialog("S33 52", "W8,5");
    m_ui.AnswerHomeDialog("S33 52", "W8.5");
    doc->OnOptionsHomeLocation();
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0], "Your coordinate string could not be understood.  Please try again.");
    ASSERT_EQ(m_ui.homeDialogPresets.size(), 2u);
    EXPECT_EQ(m_ui.homeDialogPresets[0].first, "N10 00.0000");
    EXPECT_EQ(m_ui.homeDialogPresets[1].first, "S33 52");
    EXPECT_EQ(m_ui.homeDialogPresets[1].second, "W8,5");
    EXPECT_NEAR(doc->m_dHomeLat, -33.866667, 5e-7);
    EXPECT_EQ(doc->m_dHomeLon, -8.5);
    EXPECT_EQ(doc->m_bRecomputeChart, 1);

    // An explicit zero is a place like any other, not a refusal.
    m_ui.AnswerHomeDialog("N0", "W");
    doc->OnOptionsHomeLocation();
    EXPECT_EQ(doc->m_dHomeLat, 0.0);
    EXPECT_EQ(doc->m_dHomeLon, 0.0);
    EXPECT_EQ(m_ui.homeDialogPresets.size(), 3u);
}

// --- Closing ---------------------------------------------------------------------

TEST_F(DocTest, ClosingStopsARunningCaptureFirst)
{
    auto doc = MakeDoc();
    doc->OnCloseDocument();
    EXPECT_TRUE(m_ui.titles.empty());

    doc->m_bRunning = 1;
    doc->m_nPollTimer = 1;
    doc->m_nRefreshTimer = 2;
    doc->OnCloseDocument();
    EXPECT_EQ(doc->m_bRunning, 0);
    EXPECT_EQ(m_ui.LastTitle(), "Halvex from Norq - processing stopped");
    EXPECT_EQ(m_ui.timersKilled.size(), 2u);
}
