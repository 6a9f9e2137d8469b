// Frames built from field values carry a check value the decoder accepts.
#include <gtest/gtest.h>

#include "decoder/FrameCheck.h"
#include "synth/FrameBuilder.h"

namespace {

bool Matches(const std::vector<uint8_t>& frame)
{
    CFrameCheck check;
    return check.CheckFrame(frame.data(), static_cast<int>(frame.size())).bMatched;
}

// The decoder's table-driven check value, against the builder's own.
std::vector<uint8_t> AppendCrcOf(std::vector<uint8_t> body)
{
    CFrameCheck check;
    unsigned crc = 0;
    for (uint8_t b : body)
        crc = check.CrcUpdate(crc, b) & 0xFFFF;
    body.push_back(static_cast<uint8_t>(crc >> 8));
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    return body;
}

}  // namespace

TEST(FrameBuilder, HexFramesGetTheirCheckValue)
{
    EXPECT_EQ(BuildFrameFromHex("0123456789ABCD"),
              (std::vector<uint8_t>{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x15, 0xE7}));
    EXPECT_EQ(BuildFrameFromHex("012345"), (std::vector<uint8_t>{0x01, 0x23, 0x45, 0x7C, 0xE4}));
    const std::vector<uint8_t> odd = BuildFrameFromHex("abc");
    EXPECT_EQ(odd, AppendCrcOf({0xAB, 0xC0}));
    EXPECT_EQ(BuildFrameFromHex("1x"), AppendCrcOf({0x10})) << "stray characters count as 0";
    EXPECT_EQ(BuildFrameFromHex("000000"), (std::vector<uint8_t>{0, 0, 0, 0, 0}));
    // "123456789" as ASCII bytes: the published check value.
    EXPECT_EQ(BuildFrameFromHex("313233343536373839").back(), 0xC3);
}

TEST(FrameBuilder, LayoutsOfTheThreeKinds)
{
    const std::vector<uint8_t> bulletin = BuildOrbitBulletin(BulletinFields());
    ASSERT_EQ(bulletin.size(), 24u);
    EXPECT_EQ(bulletin[2], 0x0B);
    EXPECT_EQ(bulletin[3] >> 4, 0xE);
    EXPECT_EQ(bulletin[5] >> 4, 8) << "code in frame digit 10";
    EXPECT_EQ(OrbitBulletinBits(BulletinFields()).size(), 132u);

    const std::vector<uint8_t> stamp = BuildDateTimeStamp(2009, 60, 12, 34, 56, 789);
    EXPECT_EQ(stamp, BuildFrameFromHex("00000E1000"
                                       "2009060123456789"));
    EXPECT_EQ(BuildDateTimeStamp(12009, 1060, 112, 134, 156, 1789), stamp) << "low digits kept";

    EXPECT_EQ(BuildStatusSummary({{5, 1, 12}, {8, 0, 1}}), BuildFrameFromHex("00000C7000"
                                                                             "2"
                                                                             "51C"
                                                                             "801"
                                                                             "0"));
    EXPECT_EQ(BuildStatusSummary(std::vector<StatusEntry>(20)).size(), 30u) << "at most 15 entries";

    for (const auto& frame : {bulletin, stamp, BuildStatusSummary({{}, {}, {}})}) {
        EXPECT_TRUE(Matches(frame));
    }
    for (int n = 1; n <= 44; ++n) {
        std::vector<uint8_t> body;
        for (int i = 0; i < n; ++i)
            body.push_back(static_cast<uint8_t>(i * 71 + n * 13));
        std::string hex;
        for (uint8_t b : body)
            hex += "0123456789ABCDEF"[b >> 4], hex += "0123456789ABCDEF"[b & 15];
        EXPECT_EQ(BuildFrameFromHex(hex), AppendCrcOf(body)) << n;
    }
}

TEST(FrameBuilder, OutOfRangeFieldsAreClamped)
{
    BulletinFields wild;
    wild.dEql = 600.0;
    wild.dDl = -30.0;
    wild.dARate = 5.0;
    wild.dInc = 110.0;
    const std::string bits = OrbitBulletinBits(wild);
    EXPECT_EQ(bits.substr(46, 19), std::string(19, '1'));
    EXPECT_EQ(bits.substr(65, 10), std::string(10, '0'));
    EXPECT_EQ(bits.substr(108, 8), std::string(8, '0'));
    EXPECT_EQ(bits.substr(116, 16), std::string(16, '1'));
}
