// Capture driven through the window: Start and Stop with the WAV-file
// device (titles, view timers, message lines in the ring and the day's log),
// a device that refuses the format, the home-location prompt, and closing
// the window while capturing.
#include <algorithm>

#include "MainWindowFixture.h"
#include "document/Settings.h"
#include "messages/SatelliteTable.h"
#include "platform/FileWaveIn.h"

namespace {

std::string Compact(const std::string& line)
{
    std::string s;
    for (char c : line)
        if (c != ' ')
            s += c;
    return s;
}

// Whether a message line shows this frame: its hexadecimal digits, then the
// received check value in brackets.
bool LineShowsFrame(const std::string& line, const std::vector<uint8_t>& frame)
{
    const std::string hex = FrameHex(frame);
    const std::string body = hex.substr(0, hex.size() - 4);
    const std::string crc = hex.substr(hex.size() - 4);
    return Compact(line).rfind(body + "[" + crc + "]", 0) == 0;
}

std::vector<std::string> RingOldestFirst(const CHalvexDoc& doc)
{
    std::vector<std::string> lines;
    const int n = CMessageStore::kRingSlots;
    for (int i = 0; i < n; ++i) {
        const std::string& s = doc.m_messages.m_strMessages[(doc.m_messages.m_nMessageIndex + i) % n];
        if (!s.empty())
            lines.push_back(s);
    }
    return lines;
}

// Closes the device like a sound card, noting the view mode the settings
// file held at that moment (-1: none stored).
class CloseWatchingWaveIn : public FakeWaveIn
{
public:
    CloseWatchingWaveIn(std::string strSettings, int* pStoredModeAtClose)
        : FakeWaveIn({"Card A"}), m_strSettings(std::move(strSettings)), m_pStoredMode(pStoredModeAtClose)
    {
    }
    unsigned Close(wavein::HWAVEIN handle) override
    {
        StoredSettings stored;
        stored.nViewMode = -1;
        ReadStoredSettings(m_strSettings, stored);
        *m_pStoredMode = stored.nViewMode;
        return FakeWaveIn::Close(handle);
    }

private:
    std::string m_strSettings;
    int* m_pStoredMode;
};

}  // namespace

TEST_F(MainWindowTest, StartAndStopDecodeTheRecordingIntoRingAndLog)
{
    std::vector<std::vector<uint8_t>> frames;
    const std::string wav = m_dir.Str() + "rec.wav";
    ASSERT_TRUE(WriteU8Wav(wav, MakeTestRecording(frames)));
    // Unpaced: each queued buffer fills at once and the 300 ms poll sets the pace.
    Open(Options(), std::make_unique<CFileWaveIn>(wav, 0.0));
    Doc().m_dHomeLat = 52.5;
    Doc().m_dHomeLon = -8.5;
    CModalScript script;

    Choose(ID_PROCESS_START);
    EXPECT_TRUE(script.m_seen.empty());
    EXPECT_EQ(Doc().m_bRunning, 1);
    EXPECT_EQ(Title(), "Halvex from Norq - processing live signals");
    EXPECT_EQ(View()->ViewTimerInterval(Doc().m_nPollTimer), 300);
    EXPECT_EQ(View()->ViewTimerInterval(Doc().m_nRefreshTimer), 2000);
    EXPECT_TRUE(View()->HasViewTimer(Doc().m_nPollTimer));
    UpdateUi();
    EXPECT_FALSE(Item(ID_PROCESS_START)->IsEnabled());
    EXPECT_TRUE(Item(ID_PROCESS_STOP)->IsEnabled());

    // Both frames, each with its expansion line: shown newest first, the
    // expansion sits under its message line, so it is the older slot.
    ASSERT_TRUE(PumpUntil([&] { return RingOldestFirst(Doc()).size() >= 4; }, 8000));
    PumpEvents(700);  // a little more: nothing else may turn up
    const std::vector<std::string> ring = RingOldestFirst(Doc());
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_TRUE(LineShowsFrame(ring[1], frames[0])) << ring[1];
    EXPECT_TRUE(LineShowsFrame(ring[3], frames[1])) << ring[3];
    EXPECT_EQ(ring[0].rfind("NOAA-18 Ephem: ", 0), 0u) << ring[0];
    EXPECT_EQ(ring[2], "Datetime : 2009-03-01 12:34:56.789");
    EXPECT_TRUE(Doc().m_table.HasElements(8));

    // The day's log holds each message line followed by its expansion.
    std::vector<std::string> logged;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path() / "logs"))
        for (const std::string& line : ReadLines(entry.path().string()))
            logged.push_back(line);
    EXPECT_EQ(logged, (std::vector<std::string>{ring[1], ring[0], ring[3], ring[2]}));

    Choose(ID_PROCESS_STOP);
    EXPECT_EQ(Doc().m_bRunning, 0);
    EXPECT_EQ(Title(), "Halvex from Norq - processing stopped");
    EXPECT_FALSE(View()->HasViewTimer(Doc().m_nPollTimer));
    EXPECT_FALSE(View()->HasViewTimer(Doc().m_nRefreshTimer));
    UpdateUi();
    EXPECT_TRUE(Item(ID_PROCESS_START)->IsEnabled());
    EXPECT_FALSE(Item(ID_PROCESS_STOP)->IsEnabled());
    EXPECT_EQ(RingOldestFirst(Doc()), ring);  // Stop leaves the lines
}

TEST_F(MainWindowTest, RefusedFormatGivesOneMessageBoxAndNothingElse)
{
    Open();
    Doc().m_dHomeLat = 52.5;
    m_pFake->QueueResult(FakeWaveIn::Op::Open, wavein::WAVERR_BADFORMAT);
    CModalScript script;
    Choose(ID_PROCESS_START);
    ASSERT_EQ(script.m_seen.size(), 1u);
    EXPECT_EQ(script.m_seen[0].strClass, "wxMessageDialog");
    EXPECT_EQ(script.m_seen[0].strMessage, "On opening the wave device..Unknown error");
    EXPECT_EQ(Doc().m_bRunning, 0);
    EXPECT_EQ(Title(), "Halvex");
    EXPECT_FALSE(View()->HasViewTimer(1));
    EXPECT_FALSE(View()->HasViewTimer(2));
    UpdateUi();
    EXPECT_TRUE(Item(ID_PROCESS_START)->IsEnabled());
}

TEST_F(MainWindowTest, StartWithoutHomeLocationAsksForIt)
{
    Open();
    CModalScript script;
    Choose(ID_PROCESS_START);
    EXPECT_EQ(Doc().m_bRunning, 1);
    ASSERT_EQ(script.m_seen.size(), 1u);
    EXPECT_EQ(script.m_seen[0].strClass, "CHomeLocationDlg");
    EXPECT_EQ(script.m_seen[0].strTitle, "Home location");
    Choose(ID_PROCESS_STOP);
}

TEST_F(MainWindowTest, ViewTimersPollTheCaptureAndRedraw)
{
    Open();
    Doc().m_dHomeLat = 52.5;
    Choose(ID_PROCESS_START);
    ASSERT_EQ(Doc().m_bRunning, 1);
    ASSERT_NE(Doc().m_nPollTimer, Doc().m_nRefreshTimer);
    int paints = 0;
    View()->Bind(wxEVT_PAINT, [&](wxPaintEvent& e) {
        ++paints;
        e.Skip();
    });
    PumpEvents(50);
    paints = 0;

    // A tick of another id neither polls nor redraws.
    m_pFake->FillBufferWith(0, 128);
    const int adds = m_pFake->Count(FakeWaveIn::Op::AddBuffer);
    View()->OnTimerId(99);
    PumpEvents(50);
    EXPECT_EQ(m_pFake->Count(FakeWaveIn::Op::AddBuffer), adds);
    EXPECT_EQ(Doc().m_capture.m_nPollIndex, 0);
    EXPECT_EQ(paints, 0);

    View()->OnTimerId(Doc().m_nRefreshTimer);
    PumpEvents(50);
    EXPECT_GE(paints, 1);
    EXPECT_EQ(Doc().m_capture.m_nPollIndex, 0);

    View()->OnTimerId(Doc().m_nPollTimer);
    EXPECT_EQ(Doc().m_capture.m_nPollIndex, 1);
    EXPECT_EQ(m_pFake->Count(FakeWaveIn::Op::AddBuffer), adds + 1);

    // The real 300 ms timer does the same on its own.
    m_pFake->FillBufferWith(1, 128);
    ASSERT_TRUE(PumpUntil([&] { return Doc().m_capture.m_nPollIndex == 2; }, 2000));
    Choose(ID_PROCESS_STOP);
}

TEST_F(MainWindowTest, ClosingWhileCapturingStopsBeforeTheSettingsAreWritten)
{
    const AppOptions options = Options();
    int nStoredModeAtClose = 99;
    Open(options, std::make_unique<CloseWatchingWaveIn>(options.strSettings, &nStoredModeAtClose));
    Doc().m_dHomeLat = 51.25;
    Doc().m_nViewMode = 2;
    Choose(ID_PROCESS_START);
    ASSERT_EQ(Doc().m_bRunning, 1);

    Frame()->Close(true);
    EXPECT_EQ(App().MainFrame(), nullptr);
    EXPECT_EQ(App().Document(), nullptr);
    EXPECT_NE(nStoredModeAtClose, 99) << "the device was not closed";
    EXPECT_NE(nStoredModeAtClose, 2) << "settings were written before the capture stopped";
    StoredSettings stored;
    ASSERT_EQ(ReadStoredSettings(options.strSettings, stored), SettingsRead::Loaded);
    EXPECT_EQ(stored.nViewMode, 2);
    EXPECT_EQ(stored.dHomeLat, 51.25);
    EXPECT_EQ(stored.strLogDirectory, options.strLogDir);
}

TEST_F(MainWindowTest, CommandLineOptionsApplyAfterTheStoredSettings)
{
    AppOptions options = Options();
    options.nViewMode = 3;
    options.bStart = true;
    CModalScript script;  // the Home location prompt that Start brings
    Open(options);
    EXPECT_EQ(Doc().m_nViewMode, 3);
    EXPECT_EQ(Doc().m_messages.m_strLogDirectory, options.strLogDir);
    EXPECT_TRUE(std::filesystem::is_directory(options.strLogDir));
    // --start chooses Start once the window is up.
    ASSERT_TRUE(PumpUntil([&] { return Doc().m_bRunning == 1; }, 2000));
    EXPECT_EQ(Title(), "Halvex from Norq - processing live signals");
    EXPECT_EQ(script.Count("CHomeLocationDlg"), 1);
}
