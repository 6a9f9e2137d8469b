// Start, Stop and the capture poll of the document, driven through a fake
// sound card and a fake user interface.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "document/CommandIds.h"
#include "document/HalvexDoc.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "support/FakeDocUi.h"
#include "support/FakeWaveIn.h"
#include "support/RecordingShell.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

using namespace wavein;
using Op = FakeWaveIn::Op;

namespace {

const char* const kRunning = "Halvex from Norq - processing live signals";
const char* const kStopped = "Halvex from Norq - processing stopped";

// Notes the order in which the user sees things happen.
class OrderedUi : public FakeDocUi
{
public:
    std::vector<std::string> events;
    void SetMainWindowTitle(const std::string& title) override
    {
        events.push_back("title");
        FakeDocUi::SetMainWindowTitle(title);
    }
    bool RunHomeLocationDialog(std::string& lat, std::string& lon) override
    {
        events.push_back("home dialog");
        return FakeDocUi::RunHomeLocationDialog(lat, lon);
    }
    void ShowMessage(const std::string& text) override
    {
        events.push_back("box");
        FakeDocUi::ShowMessage(text);
    }
};

class CaptureTest : public ::testing::Test
{
protected:
    void SetUp() override {}
    void TearDown() override { m_doc.reset(); }

    CHalvexDoc& MakeDoc(std::vector<std::string> devices = {"Card A", "Card B"}, bool bHomeSet = true)
    {
        m_wave.m_deviceNames = std::move(devices);
        DocEnvironment env;
        env.pUi = &m_ui;
        env.pWaveIn = &m_wave;
        env.pShell = &m_shell;
        env.pClock = &m_clock;
        env.strSettingsPath = (m_dir / "settings.ini").string();
        env.strProgramDir = m_dir.string() + "/";
        env.strDefaultLogDir = (m_dir / "log").string() + "/";
        env.bLoadSettings = false;
        env.bSaveSettings = false;
        m_doc = std::make_unique<CHalvexDoc>(env);
        m_doc->m_messages.m_bWriteLogFiles = false;
        if (bHomeSet) {
            m_doc->m_dHomeLat = 52.5;
            m_doc->m_dHomeLon = 13.4;
        }
        m_wave.m_calls.clear();  // leave the device scan out of what the tests see
        return *m_doc;
    }

    bool StartEnabled()
    {
        FakeCmdUI cmd;
        m_doc->OnUpdateCommand(ID_PROCESS_START, cmd);
        return cmd.bEnabled;
    }

    CTempDir m_tmp{"capture"};
    std::filesystem::path m_dir = m_tmp.Path();
    OrderedUi m_ui;
    FakeWaveIn m_wave;
    RecordingShell m_shell;
    CManualClock m_clock{1241186607};
    std::unique_ptr<CHalvexDoc> m_doc;
};

std::vector<uint8_t> Bytes(uint8_t value, size_t n = CHalvexDoc::kBufferBytes)
{
    return std::vector<uint8_t>(n, value);
}

}  // namespace

// --- Start ---------------------------------------------------------------------

TEST_F(CaptureTest, StartOpensEightBitMonoAndQueuesFourBuffersThenRuns)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();

    const WaveFormat& f = m_wave.m_lastFormat;
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, 48000u);
    EXPECT_EQ(f.nAvgBytesPerSec, 48000u);
    EXPECT_EQ(f.nBlockAlign, 1);
    EXPECT_EQ(f.wBitsPerSample, 8);
    EXPECT_EQ(f.cbSize, 0);

    const std::vector<Op> expected = {Op::Open,      Op::PrepareHeader, Op::AddBuffer, Op::PrepareHeader,
                                      Op::AddBuffer, Op::PrepareHeader, Op::AddBuffer, Op::PrepareHeader,
                                      Op::AddBuffer, Op::Start};
    EXPECT_EQ(m_wave.Ops(), expected);
    EXPECT_EQ(m_wave.HeaderIndices(Op::AddBuffer), (std::vector<int>{0, 1, 2, 3}));
    ASSERT_EQ(m_wave.m_headers.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m_wave.m_headers[i]->lpData, reinterpret_cast<char*>(doc.m_capture.m_byCapture[i]));
        EXPECT_EQ(m_wave.m_headers[i]->dwBufferLength, 48000u);
    }
    EXPECT_EQ(m_wave.QueuedCount(), 4);

    EXPECT_EQ(doc.m_bRunning, 1);
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 0);
    EXPECT_EQ(m_ui.LastTitle(), kRunning);
    ASSERT_EQ(m_ui.timersSet.size(), 2u);
    EXPECT_EQ(m_ui.timersSet[0].id, 1u);
    EXPECT_EQ(m_ui.timersSet[0].periodMs, 300u);
    EXPECT_EQ(m_ui.timersSet[1].id, 2u);
    EXPECT_EQ(m_ui.timersSet[1].periodMs, 2000u);
    EXPECT_EQ(doc.m_nPollTimer, 1u);
    EXPECT_EQ(doc.m_nRefreshTimer, 2u);
    EXPECT_GE(m_ui.nUpdateAllViews, 1);
    EXPECT_TRUE(m_ui.messages.empty());
    EXPECT_TRUE(m_ui.homeDialogPresets.empty()) << "home is set: no dialog";
    EXPECT_FALSE(StartEnabled());
}

TEST_F(CaptureTest, DeviceIdComesFromTheChosenSourceOption)
{
    struct Case
    {
        std::vector<std::string> devices;
        int option;
        unsigned device;
    };
    const std::vector<Case> cases = {
        {{"A", "B"}, 0, WAVE_MAPPER},      {{"A", "B"}, 1, 0},   {{"A", "B"}, 2, 1},
        {{"A", "B"}, 3, WAVE_MAPPER},  // Soundcard3 has no device: the mapper
        {{"A", "B"}, 4, WAVE_MAPPER},  // first run with fewer than four cards
        {{"A", "B", "C", "D", "E"}, 4, 3}, {{}, 1, WAVE_MAPPER},
    };
    for (const Case& c : cases) {
        CHalvexDoc& doc = MakeDoc(c.devices);
        doc.m_nSoundcardOption = c.option;
        doc.OnProcessStart();
        ASSERT_EQ(m_wave.Count(Op::Open), 1);
        EXPECT_EQ(m_wave.m_calls[0].deviceId, c.device)
            << "option " << c.option << " with " << c.devices.size() << " devices";
        doc.OnProcessStop();
    }
}

TEST_F(CaptureTest, RefusedFormatShowsOneBoxAndNothingElseButTheHomeCheck)
{
    CHalvexDoc& doc = MakeDoc({"A"}, /*bHomeSet=*/false);
    m_wave.QueueResult(Op::Open, WAVERR_BADFORMAT);
    doc.OnProcessStart();

    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0], "On opening the wave device..Unknown error");
    EXPECT_EQ(m_wave.Ops(), (std::vector<Op>{Op::Open}));
    EXPECT_EQ(doc.m_bRunning, 0);
    EXPECT_TRUE(m_ui.titles.empty());
    EXPECT_TRUE(m_ui.timersSet.empty());
    EXPECT_EQ(m_ui.events, (std::vector<std::string>{"box", "home dialog"}));
    EXPECT_TRUE(StartEnabled());
}

TEST_F(CaptureTest, WithoutAnySoundServiceTheOpenReportsNoDriver)
{
    DocEnvironment env;
    env.pUi = &m_ui;
    env.pClock = &m_clock;
    env.strSettingsPath = (m_dir / "settings.ini").string();
    env.strProgramDir = m_dir.string() + "/";
    env.strDefaultLogDir = (m_dir / "log").string() + "/";
    env.bLoadSettings = false;
    env.bSaveSettings = false;
    CHalvexDoc doc(env);
    doc.m_dHomeLat = 1.0;
    doc.OnProcessStart();
    EXPECT_EQ(m_ui.messages,
              (std::vector<std::string>{"On opening the wave device..no device driver present"}));
    EXPECT_EQ(doc.m_bRunning, 0);
    doc.OnOptionsMixer();  // no shell either: nothing happens
}

TEST_F(CaptureTest, HomeUnsetStartsCaptureFirstThenOpensTheDialog)
{
    CHalvexDoc& doc = MakeDoc({"A"}, /*bHomeSet=*/false);
    doc.OnProcessStart();
    EXPECT_EQ(doc.m_bRunning, 1);
    EXPECT_EQ(m_ui.events, (std::vector<std::string>{"title", "home dialog"}));
    EXPECT_EQ(m_ui.homeDialogPresets.size(), 1u);
    EXPECT_EQ(m_ui.activeTimers.size(), 2u) << "timers were running while the dialog was open";
}

TEST_F(CaptureTest, OneBrokenHeaderGivesTwoBoxesAndTheLoopStillRunsFourRounds)
{
    CHalvexDoc& doc = MakeDoc();
    // Header 2's prepare fails; the device then refuses to queue it unprepared.
    m_wave.QueueResult(Op::PrepareHeader, 0);
    m_wave.QueueResult(Op::PrepareHeader, 0);
    m_wave.QueueResult(Op::PrepareHeader, MMSYSERR_NOMEM);
    doc.OnProcessStart();

    EXPECT_EQ(m_ui.messages, (std::vector<std::string>{"On preparing buffer ..memory allocation error",
                                                       "On adding buffer ..Unknown error"}));
    EXPECT_EQ(m_wave.Count(Op::PrepareHeader), 4);
    EXPECT_EQ(m_wave.Count(Op::AddBuffer), 4);
    // Only the last add decides: capture runs on three buffers.
    EXPECT_EQ(m_wave.Count(Op::Start), 1);
    EXPECT_EQ(doc.m_bRunning, 1);

    // The poll does not wait for ever on the header the card never had.
    m_wave.FillBufferWith(0, 10);
    m_wave.FillBufferWith(1, 11);
    m_wave.FillBufferWith(3, 13);
    std::vector<uint8_t> seen;
    for (int tick = 0; tick < 4; ++tick) {
        doc.PollCapture();
        seen.push_back(doc.m_capture.m_byProcessing[0]);
    }
    EXPECT_EQ(seen, (std::vector<uint8_t>{10, 11, 11, 13}));
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 0);
    EXPECT_EQ(m_ui.messages.size(), 2u) << "the poll reports nothing";
}

TEST_F(CaptureTest, RefusedRequeueNeverDecodesTheSameSecondTwice)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    m_wave.FillBufferWith(0, 200);
    m_wave.QueueResult(Op::AddBuffer, MMSYSERR_NOMEM);  // the card refuses header 0 once
    doc.PollCapture();
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[0], 200 - 128);
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 1);
    for (int i = 1; i < 4; ++i) {
        m_wave.FillBufferWith(i, static_cast<uint8_t>(100 + i));
        doc.PollCapture();
    }
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[0], 103 - 128);
    // Header 0 still reads done from before: offered again, not decoded again.
    m_wave.m_calls.clear();
    doc.PollCapture();
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[0], 103 - 128);
    EXPECT_EQ(m_wave.HeaderIndices(Op::AddBuffer), (std::vector<int>{0}));
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 1);
    EXPECT_EQ(m_wave.QueuedCount(), 4) << "back with the card, behind the others";
    // Once filled, it is taken again in its turn.
    m_wave.FillBufferWith(1, 51);
    m_wave.FillBufferWith(2, 52);
    m_wave.FillBufferWith(3, 53);
    m_wave.FillBufferWith(0, 50);
    std::vector<uint8_t> seen;
    for (int tick = 0; tick < 4; ++tick) {
        doc.PollCapture();
        seen.push_back(doc.m_capture.m_byProcessing[0]);
    }
    EXPECT_EQ(seen, (std::vector<uint8_t>{51, 52, 53, 50}));
    EXPECT_TRUE(m_ui.messages.empty()) << "re-queue failures are not reported";
}

TEST_F(CaptureTest, StopWithACardThatWillNotCloseStillStops)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    m_wave.QueueResult(Op::Reset, MMSYSERR_NODRIVER);
    m_wave.QueueResult(Op::Close, MMSYSERR_NODRIVER);
    doc.OnProcessStop();
    EXPECT_EQ(doc.m_bRunning, 0);
    EXPECT_FALSE(doc.m_capture.m_pWaveHdr[0]);
    EXPECT_EQ(doc.m_capture.m_hWaveIn, nullptr);
    EXPECT_TRUE(m_ui.activeTimers.empty());
    EXPECT_TRUE(m_ui.messages.empty()) << "Stop reports nothing";
    // The card still counts itself open: the next Start says so.
    doc.OnProcessStart();
    EXPECT_EQ(m_ui.messages,
              (std::vector<std::string>{"On opening the wave device..device already allocated"}));
}

TEST_F(CaptureTest, FailedLastAddReleasesTheDeviceSoTheNextStartWorks)
{
    CHalvexDoc& doc = MakeDoc({"A"}, /*bHomeSet=*/false);
    m_wave.QueueResult(Op::AddBuffer, 0);
    m_wave.QueueResult(Op::AddBuffer, 0);
    m_wave.QueueResult(Op::AddBuffer, 0);
    m_wave.QueueResult(Op::AddBuffer, MMSYSERR_INVALPARAM);
    doc.OnProcessStart();

    EXPECT_EQ(m_ui.messages, (std::vector<std::string>{"On adding buffer ..invalid parameter passed"}));
    EXPECT_EQ(m_wave.Count(Op::Start), 0);
    EXPECT_EQ(doc.m_bRunning, 0);
    EXPECT_TRUE(m_ui.titles.empty());
    EXPECT_TRUE(m_ui.timersSet.empty());
    EXPECT_EQ(m_ui.homeDialogPresets.size(), 1u);
    // Released: reset, every prepared header unprepared, closed, headers gone.
    EXPECT_EQ(m_wave.Count(Op::Reset), 1);
    EXPECT_EQ(m_wave.Count(Op::UnprepareHeader), 4);
    EXPECT_EQ(m_wave.Count(Op::Close), 1);
    EXPECT_FALSE(m_wave.m_bOpen);
    EXPECT_FALSE(doc.m_capture.m_pWaveHdr[0]);
    EXPECT_EQ(doc.m_capture.m_hWaveIn, nullptr);
    EXPECT_TRUE(StartEnabled());

    doc.OnProcessStart();
    EXPECT_EQ(doc.m_bRunning, 1);
    EXPECT_EQ(m_ui.messages.size(), 1u);
}

TEST_F(CaptureTest, FailedStartIsReportedAndReleased)
{
    CHalvexDoc& doc = MakeDoc();
    m_wave.QueueResult(Op::Start, MMSYSERR_NODRIVER);
    doc.OnProcessStart();
    EXPECT_EQ(m_ui.messages, (std::vector<std::string>{"On starting recording..no device driver present"}));
    EXPECT_EQ(doc.m_bRunning, 0);
    EXPECT_TRUE(m_ui.timersSet.empty());
    EXPECT_FALSE(m_wave.m_bOpen);

    doc.OnProcessStart();
    EXPECT_EQ(doc.m_bRunning, 1);
}

TEST_F(CaptureTest, StartWhileRunningDoesNotOpenASecondDevice)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    WaveHdr* first = doc.m_capture.m_pWaveHdr[0].get();
    doc.OnProcessStart();
    EXPECT_EQ(m_wave.Count(Op::Open), 1);
    EXPECT_EQ(doc.m_capture.m_pWaveHdr[0].get(), first);
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(CaptureTest, StartBeginsAFreshRunWithEmptyMessageLines)
{
    CHalvexDoc& doc = MakeDoc();
    doc.m_messages.m_strMessages[0] = "old line";
    doc.m_messages.m_strMessages[59] = "older line";
    doc.m_messages.m_nMessageIndex = 7;
    doc.m_decoder.m_nSampleIndex = 1234;
    doc.m_decoder.m_nRowCount = 3;
    doc.m_decoder.m_nSkipCount = 55;
    doc.OnProcessStart();
    for (const std::string& line : doc.m_messages.m_strMessages)
        EXPECT_TRUE(line.empty());
    EXPECT_EQ(doc.m_messages.m_nMessageIndex, 0);
    EXPECT_EQ(doc.m_decoder.m_nSampleIndex, 0);
    EXPECT_EQ(doc.m_decoder.m_nRowCount, 0);
    EXPECT_EQ(doc.m_decoder.m_nSkipCount, 55) << "the skip count is left as it was";

    doc.OnProcessStop();
    doc.m_messages.m_strMessages[3] = "line of the first run";
    doc.OnProcessStart();
    EXPECT_TRUE(doc.m_messages.m_strMessages[3].empty());
}

TEST_F(CaptureTest, FailedStartKeepsTheMessageLines)
{
    CHalvexDoc& doc = MakeDoc();
    doc.m_messages.m_strMessages[0] = "kept";
    m_wave.QueueResult(Op::Open, MMSYSERR_ALLOCATED);
    doc.OnProcessStart();
    EXPECT_EQ(m_ui.messages,
              (std::vector<std::string>{"On opening the wave device..device already allocated"}));
    EXPECT_EQ(doc.m_messages.m_strMessages[0], "kept");
}

// --- Poll ------------------------------------------------------------------------

TEST_F(CaptureTest, TickWhoseBufferIsNotDoneChangesNothing)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    m_wave.m_calls.clear();
    doc.m_capture.m_byProcessing[0] = 77;
    m_wave.FillBufferWith(1, 200);  // not the one the poll waits for
    doc.PollCapture();
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 0);
    EXPECT_TRUE(m_wave.m_calls.empty());
    EXPECT_EQ(doc.m_capture.m_byProcessing[0], 77);
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[0], 0);
}

TEST_F(CaptureTest, BuffersAreTakenInTheRotationZeroToThree)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    m_wave.m_calls.clear();
    // The card fills 2 before 1: the poll still waits for 1.
    m_wave.FillBufferWith(0, 10);
    m_wave.FillBufferWith(2, 12);
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_byProcessing[47999], 10);
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 1);
    EXPECT_EQ(doc.m_capture.m_byProcessing[0], 10);
    m_wave.FillBufferWith(1, 11);
    m_wave.FillBufferWith(3, 13);
    std::vector<uint8_t> seen;
    for (int tick = 0; tick < 3; ++tick) {
        doc.PollCapture();
        seen.push_back(doc.m_capture.m_byProcessing[0]);
    }
    EXPECT_EQ(seen, (std::vector<uint8_t>{11, 12, 13}));
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 0);
    // Each taken header went straight back to the card, in the same order.
    EXPECT_EQ(m_wave.HeaderIndices(Op::AddBuffer), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(m_wave.QueuedCount(), 4);
    // And round again.
    m_wave.FillBufferWith(0, 20);
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_byProcessing[0], 20);
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 1);
}

TEST_F(CaptureTest, PollHandsEveryByteToTheDecoderUnchanged)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    std::vector<uint8_t> ramp(48000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<uint8_t>(i * 7);
    m_wave.FillBuffer(0, ramp.data(), 48000);
    doc.PollCapture();
    // The decoder stores each sample minus the zero line, in arrival order.
    for (int i : {0, 1, 2, 1000, 47999})
        EXPECT_EQ(doc.m_decoder.m_nSampleRing[i], static_cast<int>(ramp[i]) - 128) << i;
    EXPECT_EQ(doc.m_bBusy, 0);
}

TEST_F(CaptureTest, TickDuringADecodingPassCopiesAndRequeuesButDecodesNothing)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    m_wave.m_calls.clear();
    m_wave.FillBufferWith(0, 200);
    doc.m_bBusy = 1;  // as if dispatched from a message loop inside a pass
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_byProcessing[123], 200);
    EXPECT_EQ(m_wave.HeaderIndices(Op::AddBuffer), (std::vector<int>{0}));
    EXPECT_EQ(doc.m_capture.m_nPollIndex, 1);
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[0], 0);
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[47999], 0);
    EXPECT_EQ(doc.m_bBusy, 1) << "the pass in progress still owns the flag";

    doc.m_bBusy = 0;
    m_wave.FillBufferWith(1, 201);
    doc.PollCapture();
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[0], 201 - 128);
}

TEST_F(CaptureTest, ShortOrOverlongRecordedCountsStayInsideTheBuffers)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    std::fill(std::begin(doc.m_capture.m_byProcessing), std::end(doc.m_capture.m_byProcessing), 99);
    std::vector<uint8_t> part = Bytes(150, 1000);
    m_wave.FillBuffer(0, part.data(), 1000);
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_byProcessing[999], 150);
    // The second before must not be decoded again: the rest is the zero line.
    EXPECT_EQ(doc.m_capture.m_byProcessing[1000], 128);
    EXPECT_EQ(doc.m_capture.m_byProcessing[47999], 128);
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[999], 150 - 128) << "all 48,000 bytes are still decoded";
    EXPECT_EQ(doc.m_decoder.m_nSampleRing[47999], 0);

    // A device claiming more than the buffer holds must not make the copy overrun.
    m_wave.FillBufferWith(1, 160);
    m_wave.m_headers[1]->dwBytesRecorded.store(1u << 30);
    doc.PollCapture();
    EXPECT_EQ(doc.m_capture.m_byProcessing[47999], 160);
}

TEST_F(CaptureTest, FramesInTheCapturedAudioBecomeMessageLines)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    CModulator mod;
    mod.AppendSilence(6000);
    mod.AppendFlags(8);
    mod.AppendFrame(BuildDateTimeStamp(2009, 121, 14, 3, 27, 500));
    mod.AppendFlags(8);
    mod.AppendSilence(4 * 48000);
    std::vector<uint8_t> audio = mod.TakeSamples();
    for (int second = 0; second < 3; ++second) {
        ASSERT_TRUE(m_wave.FillBuffer(second % 4, audio.data() + second * 48000, 48000));
        doc.PollCapture();
    }
    // The date-time stamp's line (00 00 0E 1...) is in the ring, with its check value.
    int nFrameLines = 0;
    for (const std::string& line : doc.m_messages.m_strMessages)
        if (line.rfind("00000E1", 0) == 0)
            ++nFrameLines;
    EXPECT_EQ(nFrameLines, 1);
}

// --- Stop ------------------------------------------------------------------------

TEST_F(CaptureTest, StopReleasesTheDeviceKillsBothTimersAndReenablesStart)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    m_wave.m_calls.clear();
    doc.OnProcessStop();

    EXPECT_EQ(doc.m_bRunning, 0);
    EXPECT_EQ(m_ui.LastTitle(), kStopped);
    EXPECT_EQ(m_ui.timersKilled, (std::vector<unsigned>{2, 1}));
    EXPECT_TRUE(m_ui.activeTimers.empty());
    const std::vector<Op> expected = {Op::Reset,           Op::UnprepareHeader, Op::UnprepareHeader,
                                      Op::UnprepareHeader, Op::UnprepareHeader, Op::Close};
    EXPECT_EQ(m_wave.Ops(), expected);
    for (const auto& call : m_wave.m_calls)
        EXPECT_EQ(call.result, 0u);
    EXPECT_FALSE(m_wave.m_bOpen);
    for (const auto& hdr : doc.m_capture.m_pWaveHdr)
        EXPECT_FALSE(hdr);
    EXPECT_TRUE(StartEnabled());
    FakeCmdUI stop;
    doc.OnUpdateCommand(ID_PROCESS_STOP, stop);
    EXPECT_FALSE(stop.bEnabled);

    // A tick that was already on its way finds nothing to take.
    doc.PollCapture();
    EXPECT_EQ(m_wave.Count(Op::AddBuffer), 0);
}

TEST_F(CaptureTest, StopWhenStoppedOnlySetsTheTitle)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStop();
    EXPECT_EQ(m_ui.titles, (std::vector<std::string>{kStopped}));
    EXPECT_TRUE(m_wave.m_calls.empty());
    EXPECT_TRUE(m_ui.timersKilled.empty());
}

TEST_F(CaptureTest, StopSkipsHeadersThatWereNeverPrepared)
{
    CHalvexDoc& doc = MakeDoc();
    m_wave.QueueResult(Op::PrepareHeader, MMSYSERR_ERROR);  // header 0
    doc.OnProcessStart();
    ASSERT_EQ(doc.m_bRunning, 1);
    m_wave.m_calls.clear();
    doc.OnProcessStop();
    EXPECT_EQ(m_wave.HeaderIndices(Op::UnprepareHeader), (std::vector<int>{1, 2, 3}));
}

TEST_F(CaptureTest, CommandsRouteToStartAndStop)
{
    CHalvexDoc& doc = MakeDoc();
    EXPECT_TRUE(doc.OnCommand(ID_PROCESS_START));
    EXPECT_EQ(doc.m_bRunning, 1);
    EXPECT_TRUE(doc.OnCommand(ID_PROCESS_STOP));
    EXPECT_EQ(doc.m_bRunning, 0);
}

TEST_F(CaptureTest, ClosingOrDestroyingTheDocumentWhileCapturingStopsTheDevice)
{
    CHalvexDoc& doc = MakeDoc();
    doc.OnProcessStart();
    doc.OnCloseDocument();
    EXPECT_EQ(doc.m_bRunning, 0);
    EXPECT_FALSE(m_wave.m_bOpen);

    CHalvexDoc& doc2 = MakeDoc();
    doc2.OnProcessStart();
    ASSERT_TRUE(m_wave.m_bOpen);
    m_doc.reset();
    EXPECT_FALSE(m_wave.m_bOpen) << "the card must let go of the buffers before they are freed";
}

// --- Mixer and error texts ---------------------------------------------------------

TEST_F(CaptureTest, MixerParametersFollowTheOptionNumber)
{
    CHalvexDoc& doc = MakeDoc();
    const char* expected[] = {"-R -D0", "-R -D1", "-R -D2", "-R -D3", "/r"};
    for (int option = 0; option <= 4; ++option) {
        doc.m_nSoundcardOption = option;
        doc.OnOptionsMixer();
        ASSERT_EQ(m_shell.calls.size(), static_cast<size_t>(option + 1));
        EXPECT_EQ(m_shell.calls.back().verb, "open");
        EXPECT_EQ(m_shell.calls.back().file, "sndvol32");
        EXPECT_EQ(m_shell.calls.back().params, expected[option]);
    }
}

TEST(WaveErrorTextTest, TableOfTheTwentyOneCodesThenUnknown)
{
    const char* texts[] = {"no error",
                           "unspecified error",
                           "device ID out of range",
                           "driver failed enable",
                           "device already allocated",
                           "device handle is invalid",
                           "no device driver present",
                           "memory allocation error",
                           "function isn't supported",
                           "error value out of range",
                           "invalid flag passed",
                           "invalid parameter passed",
                           "handle being used simultaneously on another thread (eg callback)",
                           "specified alias not found",
                           "bad registry database",
                           "registry key not found",
                           "registry read error",
                           "registry write error",
                           "registry delete error",
                           "registry value not found",
                           "driver does not call DriverCallback"};
    for (unsigned code = 0; code <= 20; ++code)
        EXPECT_EQ(CHalvexDoc::WaveErrorText(code), texts[code]) << code;
    for (unsigned code : {21u, 31u, 32u, 33u, 34u, 0xFFFFFFFFu})
        EXPECT_EQ(CHalvexDoc::WaveErrorText(code), "Unknown error");
}
