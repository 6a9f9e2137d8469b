// The whole capture road with a real device: a recording played by the
// sound-file device, picked up by the poll and decoded into message lines.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "document/HalvexDoc.h"
#include "platform/Clock.h"
#include "platform/FileWaveIn.h"
#include "support/FakeDocUi.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

namespace fs = std::filesystem;

TEST(FileCaptureTest, FramesOfARecordingReachTheMessageRingInOrder)
{
    const CTempDir tmp("filecap");
    const fs::path& dir = tmp.Path();

    CModulator mod;
    mod.AppendSilence(30000);
    for (int n = 0; n < 3; ++n) {
        mod.AppendFlags(6);
        mod.AppendFrame(BuildDateTimeStamp(2009, 121, 14, 3, 20 + n, 0));
        mod.AppendFlags(6);
        mod.AppendSilence(40000);
    }
    const std::vector<uint8_t>& audio = mod.Samples();
    const std::string wav = (dir / "pass.wav").string();
    ASSERT_TRUE(WriteU8Wav(wav, audio));

    FakeDocUi ui;
    CFileWaveIn device(wav, 0.0);  // as fast as the poll takes the buffers
    CManualClock clock(1241186607);
    DocEnvironment env;
    env.pUi = &ui;
    env.pWaveIn = &device;
    env.pClock = &clock;
    env.strSettingsPath = (dir / "settings.ini").string();
    env.strProgramDir = dir.string() + "/";
    env.strDefaultLogDir = (dir / "log").string() + "/";
    env.bLoadSettings = false;
    env.bSaveSettings = false;
    {
        CHalvexDoc doc(env);
        doc.m_messages.m_bWriteLogFiles = false;
        doc.m_dHomeLat = 48.0;
        EXPECT_EQ(doc.m_strDeviceName[1], "pass.wav");
        doc.m_nSoundcardOption = 1;
        doc.OnProcessStart();
        ASSERT_EQ(doc.m_bRunning, 1) << (ui.messages.empty() ? "" : ui.messages[0]);

        const int nSeconds = static_cast<int>(audio.size() / 48000) + 2;
        int nTaken = 0;
        for (int tick = 0; tick < 5000 && nTaken < nSeconds; ++tick) {
            const int nBefore = doc.m_capture.m_nPollIndex;
            doc.PollCapture();
            if (doc.m_capture.m_nPollIndex != nBefore)
                ++nTaken;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(nTaken, nSeconds);
        std::vector<std::string> lines;
        for (int i = doc.m_messages.m_nMessageIndex - 1; i >= 0; --i) {
            const std::string& line = doc.m_messages.m_strMessages[i];
            if (line.rfind("00000E1", 0) == 0)
                lines.push_back(line);
        }
        ASSERT_EQ(lines.size(), 3u);
        // Oldest first here: the seconds field counts up (BCD digits 20, 21, 22).
        EXPECT_LT(lines[2], lines[1]);
        EXPECT_LT(lines[1], lines[0]);
        doc.OnProcessStop();
        EXPECT_EQ(ui.LastTitle(), "Halvex from Norq - processing stopped");
    }
}
