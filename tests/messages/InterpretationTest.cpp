// Orbit-element bulletins, date-time stamps and status summaries read from the
// message line, and the satellite table the bulletins fill.
#include <gtest/gtest.h>

#include <ctime>
#include <random>

#include "decoder/FrameCheck.h"
#include "messages/Interpretation.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"
#include "synth/FrameBuilder.h"

namespace {

constexpr int64_t kLineTime = 1241186607;  // 2009-05-01 14:03:27 UTC

int64_t UtcDay(int year, int dayOfYear, int h, int mi, int s)
{
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mday = dayOfYear;  // timegm normalises day 60 into March (or 29 February)
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return static_cast<int64_t>(timegm(&t));
}

std::string LineOf(const std::vector<uint8_t>& frame)
{
    CFrameCheck check;
    const FrameVerdict verdict = check.CheckFrame(frame.data(), static_cast<int>(frame.size()));
    return CMessageStore::FormatMessageLine(frame.data(), static_cast<int>(frame.size()), verdict, kLineTime);
}

std::string Expand(const std::vector<uint8_t>& frame)
{
    Interpretation result;
    return InterpretLine(LineOf(frame), result) ? result.strExpansion : std::string("<none>");
}

// Interprets through the store, as a received frame would be.
struct Station
{
    CManualClock clock{kLineTime};
    CSatelliteTable table;
    CMessageStore store{table, clock};
    Station() { store.m_bWriteLogFiles = false; }
    void Receive(const std::vector<uint8_t>& frame)
    {
        CFrameCheck check;
        store.OnFrame(frame.data(), static_cast<int>(frame.size()),
                      check.CheckFrame(frame.data(), static_cast<int>(frame.size())));
    }
};

const char kNoaa18[] =
    "NOAA-18 Ephem: Eqx 2009-03-01 12:34:56;Eql 123.456;dl -25.312\xB0;per 102.123m;"
    "a 7229.123km;a' -12.3m/d;Inc 98.72340\xB0";

}  // namespace

TEST(Interpretation, BinaryToInt)
{
    EXPECT_EQ(BinaryToInt(""), 0);
    EXPECT_EQ(BinaryToInt("101"), 5);
    EXPECT_EQ(BinaryToInt("1x1"), 5) << "anything but '1' counts as 0";
    EXPECT_EQ(BinaryToInt("1111111111111111111"), 524287);
}

TEST(Interpretation, SatelliteNames)
{
    EXPECT_EQ(SatelliteName(5), "NOAA-15");
    EXPECT_EQ(SatelliteName(10), "Metop-A");
    EXPECT_EQ(SatelliteName(12), "NOAA-19");
    EXPECT_EQ(SatelliteName(9), "Unknown");
    EXPECT_EQ(SatelliteName(63), "Unknown");
    EXPECT_EQ(KnownSatelliteName(11), nullptr);
}

TEST(Interpretation, KindsByTheFirstSevenCharacters)
{
    EXPECT_EQ(ClassifyMessage("00000BE 000 ..."), MessageKind::kOrbitBulletin);
    EXPECT_EQ(ClassifyMessage("00000E1 F00 ..."), MessageKind::kDateTimeStamp);
    EXPECT_EQ(ClassifyMessage("00000C7 123 ..."), MessageKind::kStatusSummary);
    EXPECT_EQ(ClassifyMessage("00000C6 123 ..."), MessageKind::kNone);
    EXPECT_EQ(ClassifyMessage("00000B"), MessageKind::kNone);
}

TEST(Bulletin, WorkedExampleAndTheTable)
{
    Station s;
    s.table.m_dLastGroundDist[8] = 1234.5;
    const std::vector<uint8_t> frame = BuildOrbitBulletin(BulletinFields());
    ASSERT_EQ(frame.size(), 24u);
    s.Receive(frame);
    EXPECT_EQ(s.store.m_strMessages[0], kNoaa18);
    EXPECT_EQ(s.table.EqxTime(8), UtcDay(2009, 60, 12, 34, 56));
    EXPECT_DOUBLE_EQ(s.table.m_dEql[8], 123.456);
    EXPECT_DOUBLE_EQ(s.table.m_dPer[8], 102.123 * 60.0);
    EXPECT_NEAR(s.table.m_dInc[8], 98.7234, 1e-9);
    EXPECT_EQ(s.table.m_dLastGroundDist[8], 1234.5);
}

TEST(Bulletin, RateFieldWidthAndUnnamedCode)
{
    BulletinFields f;
    f.dARate = -1.2;
    EXPECT_NE(Expand(BuildOrbitBulletin(f)).find(";a'  -1.2m/d;"), std::string::npos);

    Station s;
    f.nCode = 9;
    s.Receive(BuildOrbitBulletin(f));
    EXPECT_EQ(s.store.m_strMessages[0].substr(0, 19), " Ephem: Eqx 2009-03");
    EXPECT_TRUE(s.table.HasElements(9));
}

TEST(Bulletin, DaysOfTheYear)
{
    BulletinFields f;
    f.nYear = 2010, f.nDay = 1, f.nHour = 0, f.nMinute = 0, f.nSecond = 0;
    EXPECT_EQ(Expand(BuildOrbitBulletin(f)).substr(19, 20), "2010-01-01 00:00:00;");
    f.nYear = 2008, f.nDay = 60, f.nHour = 23, f.nMinute = 59, f.nSecond = 59;
    EXPECT_EQ(Expand(BuildOrbitBulletin(f)).substr(19, 20), "2008-02-29 23:59:59;");
    // Past 2038: the instant is 64 bits and the table reads its field back unsigned.
    Station s;
    f.nYear = 2045, f.nDay = 200, f.nHour = 1;
    s.Receive(BuildOrbitBulletin(f));
    EXPECT_EQ(s.store.m_strMessages[0].substr(19, 20), "2045-07-19 01:59:59;");
    EXPECT_EQ(s.table.EqxTime(8), UtcDay(2045, 200, 1, 59, 59));
}

TEST(Bulletin, RawBitsEnterTheSumsAsTheyAre)
{
    const std::string bits = OrbitBulletinBits(BulletinFields());
    std::string flagged = bits;
    flagged[0] = flagged[1] = '1';  // positions 0 and 1 are unused
    EXPECT_EQ(Expand(BuildOrbitBulletinFromBits(8, flagged)), kNoaa18);

    std::string digits = bits;
    digits.replace(6, 4, "1010");   // year units 10: 2000 + 0*10 + 10
    digits.replace(22, 4, "0010");  // hour tens 2 -> hour 22
    EXPECT_EQ(Expand(BuildOrbitBulletinFromBits(8, digits)).substr(19, 20), "2010-03-01 22:34:56;");
}

TEST(Bulletin, AllZeroFieldsGiveAnEntryWithoutElements)
{
    Station s;
    s.Receive(BuildOrbitBulletinFromBits(5, std::string(132, '0')));
    EXPECT_EQ(s.store.m_strMessages[0],
              "NOAA-15 Ephem: Eqx 1999-12-31 00:00:00;Eql   0.000;dl -26.000\xB0;per  95.000m;"
              "a 7000.000km;a'  -0.0m/d;Inc 97.00000\xB0");
    EXPECT_FALSE(s.table.HasElements(5));
    EXPECT_DOUBLE_EQ(s.table.m_dPer[5], 95.0 * 60.0);
    EXPECT_DOUBLE_EQ(s.table.m_dInc[5], 97.0);
}

TEST(Bulletin, TooShortForTheElementsIsNotInterpreted)
{
    const std::vector<uint8_t> full = BuildOrbitBulletin(BulletinFields());
    // 23 bytes: the last element digits would be the bracket and check value.
    const std::string hex =
        LineOf(full).substr(0, 7) + LineOf(full).substr(8, 3) + LineOf(full).substr(12, 32);
    ASSERT_EQ(hex.size(), 42u);
    Station s;
    s.Receive(BuildFrameFromHex(hex));
    s.Receive(BuildFrameFromHex("00000BE000"));  // 7 bytes: no code digit at all
    EXPECT_EQ(s.store.m_nMessageIndex, 2);
    EXPECT_FALSE(s.table.HasElements(8));
    EXPECT_EQ(s.table.m_dPer[8], 0.0);
    // Longer bulletins read the same 33 digits and ignore the rest.
    Interpretation longer;
    const std::string line = LineOf(full);
    ASSERT_TRUE(InterpretLine(
        LineOf(BuildFrameFromHex(line.substr(0, 7) + line.substr(8, 3) + line.substr(12, 34) + "ABCD")),
        longer));
    EXPECT_EQ(longer.strExpansion, kNoaa18);
}

TEST(Bulletin, RoundTripOfRandomElements)
{
    std::mt19937 random(7);
    for (int i = 0; i < 500; ++i) {
        BulletinFields f;
        f.nCode = static_cast<int>(random() % 16);
        f.nYear = 2000 + static_cast<int>(random() % 100);
        f.nDay = 1 + static_cast<int>(random() % 366);
        f.nHour = static_cast<int>(random() % 24);
        f.nMinute = static_cast<int>(random() % 60);
        f.nSecond = static_cast<int>(random() % 60);
        f.dEql = static_cast<double>(random() % 524288) * 0.001;
        f.dDl = -26.0 + static_cast<double>(random() % 1024) * 0.001;
        f.dPerMin = 95.0 + static_cast<double>(random() % 16384) * 0.001;
        f.dA = 7000.0 + static_cast<double>(random() % 524288) * 0.001;
        f.dARate = -0.1 * static_cast<double>(random() % 256);
        f.dInc = 97.0 + 0.0001 * static_cast<double>(random() % 65536);
        OrbitElements e;
        ASSERT_TRUE(ReadOrbitBulletin(LineOf(BuildOrbitBulletin(f)), e));
        EXPECT_EQ(e.nCode, f.nCode);
        EXPECT_EQ(e.nEqxTime, UtcDay(f.nYear, f.nDay, f.nHour, f.nMinute, f.nSecond));
        EXPECT_NEAR(e.dEql, f.dEql, 1e-9);
        EXPECT_NEAR(e.dDl, f.dDl, 1e-9);
        EXPECT_NEAR(e.dPerMin, f.dPerMin, 1e-9);
        EXPECT_NEAR(e.dA, f.dA, 1e-9);
        EXPECT_NEAR(e.dARate, f.dARate, 1e-9);
        EXPECT_NEAR(e.dInc, f.dInc, 1e-9);
    }
}

TEST(DateTime, ExampleAndFieldRules)
{
    const std::vector<uint8_t> stamp = BuildDateTimeStamp(2009, 60, 12, 34, 56, 789);
    ASSERT_EQ(LineOf(stamp).substr(12, 16), "2009060123456789");
    EXPECT_EQ(Expand(stamp), "Datetime : 2009-03-01 12:34:56.789");
    EXPECT_EQ(Expand(BuildFrameFromHex("00000E1000"
                                       "2009"
                                       "06A"
                                       "123456789")),
              "Datetime : 2009-01-06 12:34:56.789");
    EXPECT_EQ(Expand(BuildFrameFromHex("00000E1000"
                                       "2009"
                                       "A60"
                                       "123456789")),
              "<none>");
    EXPECT_EQ(Expand(BuildFrameFromHex("00000E1000"
                                       "2009"
                                       "060"
                                       "12"
                                       "B4"
                                       "56789")),
              "<none>");
    // The fraction is copied, not read; the year is taken as it stands.
    EXPECT_EQ(Expand(BuildFrameFromHex("00000E1000"
                                       "1999"
                                       "365"
                                       "235959"
                                       "9FE")),
              "Datetime : 1999-12-31 23:59:59.9FE");
    EXPECT_EQ(Expand(BuildDateTimeStamp(2040, 1, 0, 0, 0, 0)), "Datetime : 2040-01-01 00:00:00.000");
    // Too short: the year runs into the bracket.
    EXPECT_EQ(Expand(BuildFrameFromHex("00000E1000")), "<none>");
}

TEST(Status, ExampleAndWords)
{
    EXPECT_EQ(Expand(BuildStatusSummary({{5, 1, 12}, {8, 0, 1}})),
              "Stats(dwnlnk/mode):NOAA-15(1)400/Glo;NOAA-18(0)off/Reg;");
    EXPECT_EQ(Expand(BuildStatusSummary({})), "Stats(dwnlnk/mode):");
    EXPECT_EQ(Expand(BuildStatusSummary({{10, 3, 15}, {12, 2, 0}, {6, 1, 6}, {9, 15, 9}})),
              "Stats(dwnlnk/mode):Metop-A(3)400/o-s;NOAA-19(2)off/Glo;NOAA-16(1)rd./G+R;F)200/Reg;");
}

TEST(Status, EntriesPastTheFrameReadTheLine)
{
    // Nine bytes of data claim 15 entries: entry 2 on reads " [", the check
    // value and the time; past the line's end there is nothing to read.
    const std::string line = "00000C7 000 F51C8010 [1234] 2009-05-01 14:03:27";
    Interpretation r;
    ASSERT_TRUE(InterpretLine(line, r));
    EXPECT_EQ(r.strExpansion,
              "Stats(dwnlnk/mode):NOAA-15(1)400/Glo;NOAA-18(0)off/Reg; )off/Glo;2)off/o-s;"
              "])off/Glo;0)off/Glo;-)off/Glo;NOAA-15(-)off/Glo; )off/Reg;:)off/Glo;:)off/G+R;"
              "NOAA-17()off/Glo;");
    EXPECT_FALSE(InterpretLine("00000C7 000  [1234] 2009-05-01 14:03:27", r)) << "no count digit";
}
