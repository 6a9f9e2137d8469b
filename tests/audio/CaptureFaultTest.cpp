// Faults a station meets while capture runs unattended: the log directory
// deleted, on a full disk or replaced by something else, and the sound card
// failing in the middle of a capture. Decoding must go on, every line stays in
// the ring, nothing is decoded twice, and the capture can be stopped and
// started again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "document/HalvexDoc.h"
#include "platform/Clock.h"
#include "support/FakeDocUi.h"
#include "support/FakeWaveIn.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

using namespace wavein;
using Op = FakeWaveIn::Op;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kStart = 1241186607;  // 2009-05-01 14:03:27 UTC
constexpr int kSecond = CHalvexDoc::kBufferBytes;

// Whole seconds of audio, one frame per entry, each in its own three seconds.
std::vector<uint8_t> Signal(const std::vector<std::vector<uint8_t>>& frames)
{
    CModulator m;
    for (const auto& f : frames) {
        m.AppendSilence(6000);
        m.AppendFlags(2);
        m.AppendFrame(f);
        m.AppendFlags(1);
        const int used = static_cast<int>(m.SampleCount() % (3 * kSecond));
        m.AppendSilence(3 * kSecond - used);
    }
    m.AppendSilence(2 * kSecond);
    return m.TakeSamples();
}

class CaptureFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_logs = m_dir / "logs";

        m_wave.m_deviceNames = {"Card A"};
        DocEnvironment env;
        env.pUi = &m_ui;
        env.pWaveIn = &m_wave;
        env.pClock = &m_clock;
        env.strSettingsPath = (m_dir / "settings.reg").string();
        env.strProgramDir = m_dir.string() + "/";
        env.strDefaultLogDir = m_logs.string() + "/";
        env.bLoadSettings = false;
        env.bSaveSettings = false;
        m_doc = std::make_unique<CHalvexDoc>(env);
        m_doc->m_dHomeLat = 52.5;
        m_doc->m_dHomeLon = 13.4;
        m_doc->m_messages.m_onLogLine = [this](const std::string& line, bool written) {
            m_lines.push_back(line);
            m_written.push_back(written);
        };
    }
    void TearDown() override { m_doc.reset(); }

    // One poll per second of audio, the device filling the header the poll
    // waits for; the clock follows the audio.
    void Capture(const std::vector<uint8_t>& samples, size_t from, size_t to)
    {
        for (size_t at = from; at < to; at += kSecond) {
            m_wave.FillBuffer(m_doc->m_capture.m_nPollIndex, samples.data() + at, kSecond);
            m_doc->PollCapture();
            m_clock.Advance(1);
        }
    }

    // The ring's lines in log order (an expansion line sits in the ring
    // before its message line, so that the newest-first view shows it under).
    std::vector<std::string> Ring() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < CMessageStore::kRingSlots; ++i) {
            const std::string& s =
                m_doc->m_messages.m_strMessages[(m_doc->m_messages.m_nMessageIndex + i) % 60];
            if (!s.empty())
                out.push_back(s);
        }
        for (size_t i = 1; i < out.size(); ++i)
            if (out[i].rfind("00000BE", 0) == 0)
                std::swap(out[i - 1], out[i]);
        return out;
    }

    std::string TodaysLog() const { return ReadFileText(m_logs / "halvex3log20090501.txt"); }

    CTempDir m_tmp{"capfault"};
    fs::path m_dir = m_tmp.Path(), m_logs;
    FakeDocUi m_ui;
    FakeWaveIn m_wave;
    CManualClock m_clock{kStart};
    std::unique_ptr<CHalvexDoc> m_doc;
    std::vector<std::string> m_lines;
    std::vector<bool> m_written;
};

const std::vector<uint8_t> kFrameA = BuildFrameFromHex("0123456789ABCD");
const std::vector<uint8_t> kFrameB = BuildFrameFromHex("FEDCBA98765432");
const std::vector<uint8_t> kFrameC = BuildFrameFromHex("00112233445566778899");

}  // namespace

// --- The log ------------------------------------------------------------------

TEST_F(CaptureFaultTest, LogDirectoryDeletedWhileCapturingIsMadeAgain)
{
    const auto audio = Signal({kFrameA, kFrameB});
    m_doc->OnProcessStart();
    ASSERT_TRUE(m_doc->m_bRunning);
    Capture(audio, 0, 3 * kSecond);
    ASSERT_EQ(m_lines.size(), 1u);
    fs::remove_all(m_logs);
    Capture(audio, 3 * kSecond, audio.size());
    ASSERT_EQ(m_lines.size(), 2u);
    EXPECT_EQ(m_written, (std::vector<bool>{true, true}));
    EXPECT_EQ(TodaysLog(), m_lines[1] + "\n") << "the first file went with its directory";
    EXPECT_EQ(Ring(), m_lines);
}

TEST_F(CaptureFaultTest, FullDiskLosesOnlyTheFileLinesAndTheNextDayWritesAgain)
{
    fs::create_directories(m_logs);
    // Every write to /dev/full fails with ENOSPC, as on a full disk.
    fs::create_symlink("/dev/full", m_logs / "halvex3log20090501.txt");
    const auto audio = Signal({kFrameA, BuildOrbitBulletin(BulletinFields()), kFrameC});
    m_doc->OnProcessStart();
    Capture(audio, 0, 6 * kSecond);
    ASSERT_EQ(m_lines.size(), 3u) << "a message line and a bulletin with its expansion";
    EXPECT_EQ(m_written, (std::vector<bool>(3, false)));
    EXPECT_EQ(Ring(), m_lines) << "the ring keeps what the log could not take";
    EXPECT_TRUE(m_doc->m_table.HasElements(8)) << "the bulletin still fills the table";

    // Past midnight the day's new file is on a disk with room again.
    m_clock.Set(kStart + 86400);
    Capture(audio, 6 * kSecond, audio.size());
    ASSERT_EQ(m_lines.size(), 4u);
    EXPECT_TRUE(m_written[3]);
    EXPECT_EQ(ReadFileText(m_logs / "halvex3log20090502.txt"), m_lines[3] + "\n");
    EXPECT_TRUE(m_ui.messages.empty()) << "the log fails silently";
}

TEST_F(CaptureFaultTest, LogFileThatIsADirectoryLosesOnlyTheFileLine)
{
    fs::create_directories(m_logs / "halvex3log20090501.txt");
    const auto audio = Signal({kFrameA});
    m_doc->OnProcessStart();
    Capture(audio, 0, audio.size());
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_FALSE(m_written[0]);
    EXPECT_EQ(Ring(), m_lines);
    EXPECT_TRUE(fs::is_directory(m_logs / "halvex3log20090501.txt")) << "left as it was";
}

TEST_F(CaptureFaultTest, LogDirectoryThatIsAFileLosesOnlyTheFileLines)
{
    std::ofstream(m_logs.string()) << "not a directory";
    const auto audio = Signal({kFrameA, kFrameB});
    m_doc->OnProcessStart();
    Capture(audio, 0, audio.size());
    ASSERT_EQ(m_lines.size(), 2u);
    EXPECT_EQ(m_written, (std::vector<bool>{false, false}));
    EXPECT_EQ(Ring(), m_lines);
    EXPECT_EQ(ReadFileText(m_logs), "not a directory") << "the file is not touched";
}

// --- The sound card -------------------------------------------------------------

TEST_F(CaptureFaultTest, CardThatStopsTakingBuffersDecodesNothingTwice)
{
    // The card takes one more second and then refuses every buffer it is given
    // back (unplugged): the buffers it returned stay marked done.
    const auto audio = Signal({kFrameA, kFrameB});
    m_doc->OnProcessStart();
    ASSERT_TRUE(m_doc->m_bRunning);
    Capture(audio, 0, 3 * kSecond);
    ASSERT_EQ(m_lines.size(), 1u);
    m_wave.SetResult(Op::AddBuffer, MMSYSERR_NODRIVER);
    Capture(audio, 3 * kSecond, 4 * kSecond);
    // The driver hands every buffer back done and empty, as a removed card does.
    for (int i = 0; i < 4; ++i)
        m_wave.FillBuffer(i, nullptr, 0);
    // The poll keeps running (300 ms timer) though no new audio comes.
    for (int tick = 0; tick < 40; ++tick) {
        m_doc->PollCapture();
        m_clock.Advance(1);
    }
    for (size_t i = 1; i < m_lines.size(); ++i)
        EXPECT_NE(m_lines[i].substr(0, 20), m_lines[0].substr(0, 20)) << "frame decoded again";
    EXPECT_LE(m_lines.size(), 2u);

    m_doc->OnProcessStop();
    EXPECT_FALSE(m_doc->m_bRunning);
    EXPECT_EQ(m_ui.LastTitle(), "Halvex from Norq - processing stopped");
    EXPECT_TRUE(m_ui.activeTimers.empty());
}

TEST_F(CaptureFaultTest, ShortBufferIsNotFilledUpWithTheSecondBefore)
{
    // A card that fails hands its buffer back done with what it had: here the
    // second after a frame's second comes back empty. The frame must still be
    // decoded exactly once.
    const auto audio = Signal({kFrameA});
    m_doc->OnProcessStart();
    Capture(audio, 0, kSecond);
    m_wave.FillBuffer(m_doc->m_capture.m_nPollIndex, audio.data() + kSecond, 0);
    m_doc->PollCapture();
    m_clock.Advance(1);
    Capture(audio, kSecond, audio.size());
    Capture(std::vector<uint8_t>(4 * kSecond, 128), 0, 4 * kSecond);
    ASSERT_GE(m_lines.size(), 1u);
    EXPECT_EQ(m_lines.size(), 1u) << "one frame sent, one line";
}

TEST_F(CaptureFaultTest, StopAndStartAgainAfterTheCardFailed)
{
    const auto audio = Signal({kFrameA});
    m_doc->OnProcessStart();
    Capture(audio, 0, 2 * kSecond);
    // Reset and close fail as the card has gone; Stop must still stop.
    m_wave.SetResult(Op::Reset, MMSYSERR_NODRIVER);
    m_wave.SetResult(Op::UnprepareHeader, MMSYSERR_NODRIVER);
    m_wave.QueueResult(Op::Close, MMSYSERR_NODRIVER);
    m_doc->OnProcessStop();
    EXPECT_FALSE(m_doc->m_bRunning);
    EXPECT_TRUE(m_ui.activeTimers.empty());
    EXPECT_EQ(m_doc->m_capture.m_pWaveHdr[0], nullptr) << "headers released";

    // The card is back: a new Start opens it again or says why it cannot.
    m_wave.SetResult(Op::Reset, MMSYSERR_NOERROR);
    m_wave.SetResult(Op::UnprepareHeader, MMSYSERR_NOERROR);
    m_ui.messages.clear();
    m_doc->OnProcessStart();
    if (m_doc->m_bRunning) {
        Capture(audio, 0, audio.size());
        EXPECT_EQ(m_lines.size(), 2u) << "the frame again, in the new run";
    } else {
        ASSERT_EQ(m_ui.messages.size(), 1u);
        EXPECT_EQ(m_ui.messages[0].rfind("On opening the wave device..", 0), 0u);
    }
}
