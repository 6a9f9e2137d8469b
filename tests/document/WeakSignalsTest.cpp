// Options > Decoder > Weak signals: stored only once used, restored, and the
// document's block entry running the receiver beside its demodulator.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "document/CommandIds.h"
#include "document/Settings.h"
#include "platform/Registry.h"
#include "support/DocTestSupport.h"
#include "synth/Modulator.h"

namespace {

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int CheckOf(CHalvexDoc& doc)
{
    FakeCmdUI ui;
    doc.OnUpdateCommand(ID_DECODER_WEAKSIGNALS, ui);
    return ui.nCheck;
}

}  // namespace

TEST_F(DocTest, WeakSignalsIsStoredOnlyOnceUsedAndComesBack)
{
    // Never used: the file is the one an earlier version wrote, byte for byte.
    {
        auto doc = MakeDoc();
    }
    const std::string untouched = FileText(m_settings);
    ASSERT_FALSE(untouched.empty());
    EXPECT_EQ(untouched.find("WeakSignals"), std::string::npos);
    {
        auto doc = MakeDoc();
    }
    EXPECT_EQ(FileText(m_settings), untouched);

    {
        auto doc = MakeDoc();
        EXPECT_EQ(CheckOf(*doc), 0);
        EXPECT_TRUE(doc->OnCommand(ID_DECODER_WEAKSIGNALS));
        EXPECT_EQ(CheckOf(*doc), 1);
    }
    EXPECT_NE(FileText(m_settings).find("\"WeakSignals\"=dword:00000001"), std::string::npos);
    {
        auto doc = MakeDoc();
        EXPECT_EQ(doc->m_bWeakSignals, 1);
        EXPECT_EQ(CheckOf(*doc), 1);
        doc->OnCommand(ID_DECODER_WEAKSIGNALS);
    }
    // Turned off again: stored as off, not left on.
    EXPECT_NE(FileText(m_settings).find("\"WeakSignals\"=dword:00000000"), std::string::npos);
    EXPECT_EQ(MakeDoc()->m_bWeakSignals, 0);

    // A value that is not 0 or 1, or not four bytes, leaves the option off.
    for (const std::string& image : {std::string("\x02\x00\x00\x00", 4), std::string("\x01\x00", 2)}) {
        {
            reg::CRegKey key;
            ASSERT_EQ(key.CreateKey(m_settings, kSettingsKey, nullptr), reg::ERROR_SUCCESS);
            key.SetValue("WeakSignals", reg::REG_DWORD, image.data(), static_cast<uint32_t>(image.size()));
            key.Close();
        }
        EXPECT_EQ(MakeDoc()->m_bWeakSignals, 0);
    }
}

TEST_F(DocTest, BlockEntryAddsTheReceiversFramesOnlyWhileWeakSignalsIsOn)
{
    // A bit clock 1,000 ppm slow: the demodulator's row, timed from the
    // flag, slips a third of a cell by the frame's end.
    ModulatorOptions drifting;
    drifting.dClockPpm = 1000.0;
    CModulator mod(drifting);
    mod.AppendSilence(20000);
    const std::vector<uint8_t> frame =
        AppendCrc({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33,
                   0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE});
    mod.AppendFrame(frame);
    mod.AppendSilence(3 * 48000);
    const std::vector<uint8_t> samples = mod.TakeSamples();

    for (const bool weak : {false, true}) {
        auto doc = MakeDoc();
        doc->m_bWeakSignals = weak ? 1 : 0;
        for (size_t at = 0; at < samples.size(); at += CHalvexDoc::kBufferBytes)
            doc->ProcessSamples(samples.data() + at,
                                std::min<size_t>(CHalvexDoc::kBufferBytes, samples.size() - at));
        const std::string& first = doc->m_messages.m_strMessages[0];
        if (!weak) {
            EXPECT_TRUE(first.empty()) << first;
            continue;
        }
        // The log's format, stamped with the document's clock.
        EXPECT_EQ(first, "1234567 89A BCDEF0112233445566778899AABBCCDDEE [" +
                             first.substr(first.size() - 25, 4) + "] 2009-05-01 14:03:27");
        EXPECT_EQ(doc->m_messages.m_nMessageIndex, 1);
        ASSERT_NE(doc->m_chain.WeakReceiver(), nullptr);
        EXPECT_EQ(doc->m_chain.WeakFramesKept(), 1u);
    }
}
