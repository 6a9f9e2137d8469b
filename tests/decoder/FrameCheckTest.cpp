#include "decoder/FrameCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

unsigned CrcOf(CFrameCheck& check, const std::vector<uint8_t>& bytes)
{
    unsigned crc = 0;
    for (uint8_t b : bytes)
        crc = check.CrcUpdate(crc, b) & 0xFFFF;
    return crc;
}

// A bit-at-a-time CRC-16/XMODEM to hold the table against.
unsigned BitwiseCrc(const std::vector<uint8_t>& bytes)
{
    unsigned crc = 0;
    for (uint8_t b : bytes) {
        crc ^= static_cast<unsigned>(b) << 8;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 0x8000) != 0 ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
    }
    return crc;
}

}  // namespace

TEST(FrameCheck, TableAndStandardCheckValue)
{
    CFrameCheck check;
    EXPECT_EQ(check.m_bCrcTableReady, 0);
    const std::vector<uint8_t> digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(CrcOf(check, digits), 0x31C3u);
    EXPECT_EQ(check.m_bCrcTableReady, 1);
    EXPECT_EQ(check.m_wCrcTable[0], 0);
    EXPECT_EQ(check.m_wCrcTable[1], 0x1021);
    // Every single byte and a longer pseudo-random run agree with the bitwise form.
    for (unsigned i = 0; i < 256; ++i)
        EXPECT_EQ(check.m_wCrcTable[i], BitwiseCrc({static_cast<uint8_t>(i)})) << i;
    std::vector<uint8_t> run;
    uint32_t x = 12345;
    for (int i = 0; i < 1000; ++i) {
        x = x * 1103515245u + 12345u;
        run.push_back(static_cast<uint8_t>(x >> 16));
    }
    EXPECT_EQ(CrcOf(check, run), BitwiseCrc(run));
}

TEST(FrameCheck, UpdateUsesOnlyLow16BitsOfRunningValue)
{
    CFrameCheck check;
    EXPECT_EQ(check.CrcUpdate(0x12345, 0x42) & 0xFFFF, check.CrcUpdate(0x2345, 0x42) & 0xFFFF);
}

TEST(FrameCheck, TableBuiltOnceAndKept)
{
    CFrameCheck check;
    check.CrcUpdate(0, 0);
    ASSERT_EQ(check.m_bCrcTableReady, 1);
    // A marked entry survives later use: the table is not rebuilt.
    const uint16_t saved = check.m_wCrcTable[0x31];
    check.m_wCrcTable[0x31] = 0xBEEF;
    EXPECT_EQ(check.CrcUpdate(0, 0x31), 0xBEEFu);
    const uint8_t frame[] = {0x31, 0xBE, 0xEF};
    EXPECT_TRUE(check.CheckFrame(frame, 3).bMatched);
    check.m_wCrcTable[0x31] = saved;
}

TEST(FrameCheck, VerdictOfFrames)
{
    CFrameCheck check;
    // The example frames of the message line.
    const uint8_t good[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x15, 0xE7};
    FrameVerdict v = check.CheckFrame(good, 9);
    EXPECT_TRUE(v.bMatched);
    EXPECT_EQ(v.wComputed, 0x15E7);
    EXPECT_EQ(v.wReceived, 0x15E7);

    const uint8_t bad[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x12, 0x34};
    v = check.CheckFrame(bad, 9);
    EXPECT_FALSE(v.bMatched);
    EXPECT_EQ(v.wComputed, 0x15E7);
    EXPECT_EQ(v.wReceived, 0x1234);

    // Five bytes: checked over the first three only.
    const uint8_t five[] = {0x01, 0x23, 0x45, 0x7C, 0xE4};
    v = check.CheckFrame(five, 5);
    EXPECT_TRUE(v.bMatched);
    EXPECT_EQ(v.wComputed, CrcOf(check, {0x01, 0x23, 0x45}));

    const uint8_t zeros[5] = {};
    EXPECT_TRUE(check.CheckFrame(zeros, 5).bMatched);

    // Check bytes in the wrong order.
    const uint8_t swapped[] = {0x01, 0x23, 0x45, 0xE4, 0x7C};
    v = check.CheckFrame(swapped, 5);
    EXPECT_FALSE(v.bMatched);
    EXPECT_EQ(v.wReceived, 0xE47C);
    // ...unless both orders give the same value.
    bool foundSymmetric = false;
    for (unsigned a = 1; a < 65536 && !foundSymmetric; ++a) {
        uint8_t f[5] = {static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a), 0x5A, 0, 0};
        const unsigned crc = CrcOf(check, {f[0], f[1], f[2]});
        if ((crc >> 8) != (crc & 0xFF))
            continue;
        f[3] = f[4] = static_cast<uint8_t>(crc);
        EXPECT_TRUE(check.CheckFrame(f, 5).bMatched);
        foundSymmetric = true;
    }
    EXPECT_TRUE(foundSymmetric);
}

TEST(FrameCheck, TooShortInputIsRefusedSafely)
{
    CFrameCheck check;
    const uint8_t one[] = {0x00};
    EXPECT_FALSE(check.CheckFrame(one, 1).bMatched);
    EXPECT_FALSE(check.CheckFrame(nullptr, 0).bMatched);
    const uint8_t two[] = {0x00, 0x00};
    EXPECT_TRUE(check.CheckFrame(two, 2).bMatched);
}
