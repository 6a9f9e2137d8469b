// halvex3-decode --settings: a headless station keeps the satellite table the
// desktop program shows, in the same settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/HalvexDoc.h"
#include "document/Settings.h"
#include "platform/Clock.h"
#include "support/TestFiles.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

namespace {

namespace fs = std::filesystem;

const std::string kDecodeTool = std::string(HALVEX_BIN_DIR) + "/halvex3-decode";

class DecodeSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings = m_dir / "settings.reg";
        m_raw = m_dir / "input.u8";
    }

    int Run(const std::string& args, const std::string& input)
    {
        std::string cmd = "'" + kDecodeTool + "' " + args + " < '" + input + "' > '" +
                          (m_dir / "out").string() + "' 2> '" + (m_dir / "err").string() + "'";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Two bulletins (codes 8 and 12) as raw 48 kHz unsigned 8-bit samples.
    std::vector<uint8_t> WriteRecording()
    {
        CModulator mod;
        mod.AppendSilence(20000);
        BulletinFields a;
        a.nCode = 8;
        mod.AppendFrame(BuildOrbitBulletin(a));
        mod.AppendSilence(60000);
        BulletinFields b;
        b.nCode = 12;
        b.dEql = 200.5;
        b.dInc = 99.0;
        mod.AppendFrame(BuildOrbitBulletin(b));
        mod.AppendSilence(24000);
        std::vector<uint8_t> samples = mod.TakeSamples();
        std::ofstream out(m_raw, std::ios::binary);
        out.write(reinterpret_cast<const char*>(samples.data()),
                  static_cast<std::streamsize>(samples.size()));
        return samples;
    }

    CTempDir m_tmp{"decset"};
    fs::path m_dir = m_tmp.Path();
    fs::path m_settings;
    fs::path m_raw;
};

}  // namespace

TEST_F(DecodeSettings, DecodedBulletinsAreStoredAndOtherSettingsKept)
{
    // What the desktop program had stored: options, home and one satellite.
    {
        DocEnvironment env;
        env.strSettingsPath = m_settings.string();
        env.strDefaultLogDir = (m_dir / "logs").string();
        CHalvexDoc desktop(env);
        desktop.m_nViewMode = 3;
        desktop.m_nSoundcardOption = 1;
        desktop.m_messages.m_bExpandMsgs = 0;
        desktop.m_dHomeLat = 52.5;
        desktop.m_dHomeLon = -8.25;
        desktop.m_table.m_nEqx[5] = 1241000000;
        desktop.m_table.m_dEql[5] = 10.25;
        desktop.m_table.m_dPer[5] = 6080.0;
        desktop.m_table.m_dInc[5] = 98.5;
    }
    std::vector<uint8_t> samples = WriteRecording();

    ASSERT_EQ(Run("--start 2009-05-01T14:03:00Z --settings '" + m_settings.string() + "' -", m_raw.string()),
              0)
        << ReadFileText(m_dir / "err");

    // The same samples through the document give the table to expect.
    CManualClock clock(1241186580);
    DocEnvironment env;
    env.pClock = &clock;
    env.bLoadSettings = false;
    env.bSaveSettings = false;
    CHalvexDoc reference(env);
    reference.m_messages.m_bWriteLogFiles = false;
    for (uint8_t s : samples)
        reference.ProcessSample(s);
    for (int i = 0; i < 48000; ++i)
        reference.ProcessSample(128);
    ASSERT_TRUE(reference.m_table.HasElements(8));
    ASSERT_TRUE(reference.m_table.HasElements(12));

    StoredSettings stored;
    ASSERT_EQ(ReadStoredSettings(m_settings.string(), stored), SettingsRead::Loaded);
    for (int code : {8, 12}) {
        EXPECT_EQ(stored.nEqx[code], reference.m_table.m_nEqx[code]) << code;
        EXPECT_EQ(stored.dEql[code], reference.m_table.m_dEql[code]) << code;
        EXPECT_EQ(stored.dPer[code], reference.m_table.m_dPer[code]) << code;
        EXPECT_EQ(stored.dInc[code], reference.m_table.m_dInc[code]) << code;
    }
    // The run started from the stored table, so the earlier satellite stays.
    EXPECT_EQ(stored.nEqx[5], 1241000000);
    EXPECT_EQ(stored.dEql[5], 10.25);
    // The rest is as the desktop program left it, whatever the tool's options.
    EXPECT_EQ(stored.nViewMode, 3);
    EXPECT_EQ(stored.nSoundcardOption, 1);
    EXPECT_EQ(stored.bExpandMsgs, 0);
    EXPECT_EQ(stored.dHomeLat, 52.5);
    EXPECT_EQ(stored.dHomeLon, -8.25);
    EXPECT_EQ(stored.strLogDirectory, (m_dir / "logs").string() + "/");
    // The tool printed the expansion lines (its own option, not the stored one).
    EXPECT_NE(ReadFileText(m_dir / "out").find("NOAA-18"), std::string::npos);
}

TEST_F(DecodeSettings, ANewFileIsCreatedAndAFailedRunStoresNothing)
{
    WriteRecording();
    ASSERT_EQ(Run("--settings '" + m_settings.string() + "' -", m_raw.string()), 0);
    StoredSettings stored;
    ASSERT_EQ(ReadStoredSettings(m_settings.string(), stored), SettingsRead::Loaded);
    EXPECT_NE(stored.dEql[8], 0.0);
    EXPECT_EQ(stored.nViewMode, 0);

    std::string before = ReadFileText(m_settings);
    EXPECT_EQ(Run("--settings '" + m_settings.string() + "' '" + (m_dir / "missing.wav").string() + "'",
                  "/dev/null"),
              1);
    EXPECT_EQ(ReadFileText(m_settings), before);

    EXPECT_EQ(Run("--settings", "/dev/null"), 2);
    EXPECT_EQ(Run("--settings=", "/dev/null"), 2);
}

TEST_F(DecodeSettings, AFileThatIsNoSettingsFileIsRefusedAndLeftUntouched)
{
    WriteRecording();
    const fs::path notes = m_dir / "notes.txt";
    std::ofstream(notes) << "14:03 NOAA 18, strong signal\n";
    // A recording named where the settings file was meant to go.
    const fs::path wav = m_dir / "pass.wav";
    std::ofstream(wav, std::ios::binary)
        << std::string("RIFF\x24\x77\x01\x00WAVEfmt ", 16) << std::string(500, '\x80');
    for (const fs::path& wrong : {notes, wav}) {
        SCOPED_TRACE(wrong.string());
        const std::string before = ReadFileText(wrong);
        EXPECT_EQ(Run("--settings '" + wrong.string() + "' -", m_raw.string()), 2);
        EXPECT_EQ(ReadFileText(wrong), before);
        const std::string err = ReadFileText(m_dir / "err");
        EXPECT_EQ(err, "halvex3-decode: " + wrong.string() +
                           " is not a settings file (no REGEDIT4 header); it is left as it is\n");
        EXPECT_EQ(ReadFileText(m_dir / "out"), "") << "nothing decoded";
    }
    EXPECT_FALSE(fs::exists(notes.string() + ".bad"));
    EXPECT_FALSE(fs::exists(wav.string() + ".bad"));
}

TEST_F(DecodeSettings, DamagedSettingsFilesAreKeptAsideUnderNamesOfTheirOwn)
{
    WriteRecording();
    const std::vector<std::string> damaged = {"REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\n",
                                              "REGEDIT4\n\"ViewMode\"=dword:1\n"};
    for (const std::string& text : damaged) {
        std::ofstream(m_settings, std::ios::binary) << text;
        ASSERT_EQ(Run("--settings '" + m_settings.string() + "' -", m_raw.string()), 0);
        const std::string err = ReadFileText(m_dir / "err");
        EXPECT_EQ(
            err.rfind("halvex3-decode: settings file " + m_settings.string() + ": not a settings file", 0),
            0u)
            << "the message carries the name of the program that prints it: " << err;
    }
    EXPECT_EQ(ReadFileText(m_settings.string() + ".bad"), damaged[0]);
    EXPECT_EQ(ReadFileText(m_settings.string() + ".bad.1"), damaged[1])
        << "the first copy is not overwritten";
    StoredSettings stored;
    EXPECT_EQ(ReadStoredSettings(m_settings.string(), stored), SettingsRead::Loaded);
}
