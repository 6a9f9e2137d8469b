#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "location/Coordinate.h"

namespace {

const char* const kLatLetter = "The latitude must begin with 'N' or 'S'.  Please try again";
const char* const kLonLetter = "The longitude must begin with 'E' or 'W'.  Please try again";
const char* const kMultipleDots =
    "There are multiple decimal points in one of the coordinates.\n"
    "Please use an unambiguous format. Eg. a space between degrees and minutes.";
const char* const kNotUnderstood = "Your coordinate string could not be understood.  Please try again.";
const char* const kBadLat = "The latitude that you have entered is invalid. Please try again";
const char* const kBadLon = "The longitude that you have entered is invalid. Please try again";

struct Parsed
{
    double value;
    std::vector<std::string> messages;
};

Parsed Parse(const std::string& text, bool bLatitude)
{
    Parsed p{0.0, {}};
    p.value = ParseCoordinate(text, bLatitude, [&](const std::string& m) { p.messages.push_back(m); });
    return p;
}

Parsed Lat(const std::string& text)
{
    return Parse(text, true);
}

Parsed Lon(const std::string& text)
{
    return Parse(text, false);
}

void ExpectValue(const Parsed& p, double expected)
{
    EXPECT_TRUE(p.messages.empty()) << (p.messages.empty() ? "" : p.messages[0]);
    EXPECT_DOUBLE_EQ(p.value, expected);
}

void ExpectRejected(const Parsed& p, const char* message)
{
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], message);
    EXPECT_EQ(p.value, 0.0);
    EXPECT_FALSE(std::signbit(p.value));
}

}  // namespace

TEST(ParseCoordinate, FormsGiveDegreesWithTheDesignFactors)
{
    // The dialog's own examples.
    ExpectValue(Lat("N52 30.5"), 30.5 * 0.016666666666666666 + 52);
    ExpectValue(Lon("W8 36.5"), -(36.5 * 0.016666666666666666 + 8));
    EXPECT_NEAR(Lat("N52 30.5").value, 52.508333, 5e-7);
    EXPECT_NEAR(Lon("W8 36.5").value, -8.608333, 5e-7);

    ExpectValue(Lat("N52.5083"), 52.5083);
    ExpectValue(Lat("N52 30 30"), 30 * 0.016666666666666666 + 30 * 0.0002777777777777778 + 52);
    EXPECT_NEAR(Lat("N52 30 30").value, 52.508333, 5e-7);
    EXPECT_NEAR(Lat("s33 52").value, -33.866667, 5e-7);
    EXPECT_NEAR(Lon("e151 12.5").value, 151.208333, 5e-7);
    ExpectValue(Lon("E8"), 8.0);
    ExpectValue(Lon("w0.5"), -0.5);
    ExpectValue(Lat("n1 2 3.5"), 2 * 0.016666666666666666 + 3.5 * 0.0002777777777777778 + 1);
}

TEST(ParseCoordinate, DegreesAreAddedLast)
{
    // (m * f) + d differs in the last bits from d + m / 60 for some inputs; the
    // order is the one the stored values were made with.
    for (int d = 0; d < 90; d += 7) {
        for (double m = 0.0; m < 60.0; m += 3.3) {
            char text[64];
            std::snprintf(text, sizeof text, "N%d %.1f", d, m);
            double mRead = std::strtod(text + std::string(text).find(' ') + 1, nullptr);
            double expected = mRead * 0.016666666666666666 + d;
            EXPECT_EQ(Lat(text).value, expected) << text;
        }
    }
}

TEST(ParseCoordinate, BlanksAreTrimmedAndCollapsedAfterTheLetter)
{
    ExpectValue(Lat("N 52 30.5"), 30.5 * 0.016666666666666666 + 52);
    ExpectValue(Lat("N52     30.5"), 30.5 * 0.016666666666666666 + 52);
    ExpectValue(Lat("N   52   30   30   "), 30 * 0.016666666666666666 + 30 * 0.0002777777777777778 + 52);
    ExpectValue(Lat("N52 30.5\t"), 30.5 * 0.016666666666666666 + 52);
    // A tab between fields is no separator: the single read stops at it and
    // the rest is left over.
    ExpectRejected(Lat("N52\t30.5"), kNotUnderstood);
}

TEST(ParseCoordinate, TheLetterIsTestedBeforeTrimming)
{
    ExpectRejected(Lat(" N52 30.5"), kLatLetter);
    ExpectRejected(Lat(""), kLatLetter);
    ExpectRejected(Lon(""), kLonLetter);
    ExpectRejected(Lat("E52"), kLatLetter);
    ExpectRejected(Lat("52 30.5"), kLatLetter);
    ExpectRejected(Lon("N8"), kLonLetter);
    ExpectRejected(Lon(" W8 36.5"), kLonLetter);
}

TEST(ParseCoordinate, AmbiguousAndUnreadableTexts)
{
    ExpectRejected(Lat("N52.30.5"), kMultipleDots);
    ExpectRejected(Lon("E1.2 3.4"), kMultipleDots);
    ExpectRejected(Lat("N1 2 3 4"), kNotUnderstood);
    ExpectRejected(Lat("N1  2   3    4"), kNotUnderstood);
    // Nothing to read after the letter stays 0 without a word; a field that
    // cannot be read leaves its text over, and that is reported.
    ExpectValue(Lat("N"), 0.0);
    ExpectRejected(Lat("Nabc"), kNotUnderstood);
    ExpectRejected(Lat("N52 xyz"), kNotUnderstood);
    ExpectRejected(Lat("Nx 30"), kNotUnderstood);
    // A single dot may stand in any field.
    ExpectValue(Lat("N52 30 .5"), 30 * 0.016666666666666666 + 0.5 * 0.0002777777777777778 + 52);
    ExpectValue(Lat("N.5"), 0.5);
}

TEST(ParseCoordinate, TextLeftOverOrASignedFieldIsNotUnderstood)
{
    // Each of these used to come back as a plausible place without a word.
    ExpectRejected(Lat("N52,5"), kNotUnderstood);  // a decimal comma
    ExpectRejected(Lat("N52\xB0"
                       "30'"),
                   kNotUnderstood);  // a degree sign (1252)
    ExpectRejected(Lat("N52\xC2\xB0"
                       "30'"),
                   kNotUnderstood);  // ...or UTF-8
    ExpectRejected(Lat("N52 30'"), kNotUnderstood);
    ExpectRejected(Lat("N52 30.5 extra"), kNotUnderstood);
    ExpectRejected(Lat("N52 30.5 10"), kNotUnderstood);
    ExpectRejected(Lon("E8.5 30"), kNotUnderstood);
    // The hemisphere letter carries the sign; a field may not.
    ExpectRejected(Lat("N-10"), kNotUnderstood);
    ExpectRejected(Lat("N+10"), kNotUnderstood);
    ExpectRejected(Lat("N 52 -30"), kNotUnderstood);
    ExpectRejected(Lon("W8 36 -5"), kNotUnderstood);
    ExpectRejected(Lat("S-inf"), kNotUnderstood);

    // Text that is read completely stays accepted, blanks around it too, and
    // minutes and seconds of 60 (which the preset can show) still count.
    ExpectValue(Lat("N52 30.5  "), 30.5 * 0.016666666666666666 + 52);
    ExpectValue(Lat("N52 60"), 53.0);
    ExpectValue(Lat("N52 59 60"), 53.0);
    ExpectValue(Lon("W008 36.5000"), -(36.5 * 0.016666666666666666 + 8));
}

TEST(ReadCoordinate, TellsAnAcceptedZeroFromARefusal)
{
    double value = 1.0;
    EXPECT_TRUE(ReadCoordinate("N00 00.0000", true, nullptr, value));
    EXPECT_EQ(value, 0.0);
    value = 1.0;
    EXPECT_TRUE(ReadCoordinate("E8 30", false, nullptr, value));
    EXPECT_DOUBLE_EQ(value, 8.5);
    for (const char* bad : {"N52,5", "X52", "N1.2.3", "N1 2 3 4", "N95"}) {
        value = 1.0;
        int nMessages = 0;
        EXPECT_FALSE(ReadCoordinate(
            bad, true, [&](const std::string&) { ++nMessages; }, value))
            << bad;
        EXPECT_EQ(value, 0.0) << bad;
        EXPECT_EQ(nMessages, 1) << bad;
    }
}

TEST(ParseCoordinate, RangeIsCheckedAfterTheSign)
{
    ExpectRejected(Lat("N95"), kBadLat);
    ExpectRejected(Lat("S90 30"), kBadLat);
    ExpectValue(Lat("N90"), 90.0);
    ExpectValue(Lat("S90"), -90.0);
    ExpectValue(Lon("E180"), 180.0);
    ExpectValue(Lon("W180"), -180.0);
    ExpectRejected(Lon("E180 0.1"), kBadLon);
    ExpectRejected(Lon("W181"), kBadLon);
    ExpectRejected(Lat("Nnan"), kBadLat);
    ExpectRejected(Lon("Einf"), kBadLon);
    ExpectRejected(Lat("N1 1e308"), kBadLat);
    ExpectRejected(Lat("N1e308"), kBadLat);
    // Huge degrees do not wrap into range.
    ExpectRejected(Lat("N4294967306 0"), kBadLat);
}

TEST(ParseCoordinate, OnlyTheFirst99CharactersAfterTheLetterCount)
{
    // 99 characters: "1" followed by 98 zeros is far out of range...
    std::string longText = "N" + std::string(99, '0') + "5";
    ExpectValue(Lat(longText), 0.0);  // ...but the 5 is cut off, leaving zeros.
    std::string blanks = "N52" + std::string(97, ' ') + "30";
    ExpectValue(Lat(blanks), 52.0);
}

TEST(ParseCoordinate, ANullSinkIsAllowed)
{
    EXPECT_EQ(ParseCoordinate("X", true, nullptr), 0.0);
}

TEST(ParseCoordinate, IgnoresTheDesktopLocale)
{
    // A desktop with a decimal comma must still read a decimal point.
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C"};
    std::string old = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : names) {
        if (!std::setlocale(LC_NUMERIC, name))
            continue;
        ExpectValue(Lat("N52.5"), 52.5);
        EXPECT_EQ(FormatLatitude(52.5), "N52 30.0000");
    }
    std::setlocale(LC_NUMERIC, old.c_str());
}

TEST(FormatCoordinate, PresetsOfTheDialog)
{
    EXPECT_EQ(FormatLatitude(52.508333), "N52 30.5000");
    EXPECT_EQ(FormatLongitude(-8.608333), "W008 36.5000");
    EXPECT_EQ(FormatLatitude(30.5 * 0.016666666666666666 + 52), "N52 30.5000");
    EXPECT_EQ(FormatLongitude(-(36.5 * 0.016666666666666666 + 8)), "W008 36.5000");
    EXPECT_EQ(FormatLatitude(0.0), "N00 00.0000");
    EXPECT_EQ(FormatLongitude(0.0), "E000 00.0000");
    EXPECT_EQ(FormatLatitude(-33.866667), "S33 52.0000");
    EXPECT_EQ(FormatLongitude(151.208333), "E151 12.5000");
    EXPECT_EQ(FormatLatitude(-90.0), "S90 00.0000");
    EXPECT_EQ(FormatLongitude(-180.0), "W180 00.0000");
    EXPECT_EQ(FormatLatitude(5.1), "N05 06.0000");
    EXPECT_EQ(FormatLatitude(-0.25), "S00 15.0000");
}

TEST(FormatCoordinate, MinutesRoundToFourDecimalsAndCanShowSixty)
{
    double almost = 52.0 + 59.99995 / 60.0 + 1e-12;
    EXPECT_EQ(FormatLatitude(almost), "N52 60.0000");
    // ...which parses back to the next whole degree.
    ExpectValue(Lat(FormatLatitude(almost)), 53.0);
    EXPECT_EQ(FormatLatitude(52.0 + 59.99994 / 60.0), "N52 59.9999");
}

TEST(FormatCoordinate, RoundTripMovesLessThanHalfATenThousandthOfAMinute)
{
    for (double lat = -90.0; lat <= 90.0; lat += 7.123457) {
        Parsed p = Lat(FormatLatitude(lat));
        EXPECT_TRUE(p.messages.empty());
        EXPECT_NEAR(p.value, lat, 0.00005 / 60.0 + 1e-12) << lat;
    }
    for (double lon = -180.0; lon <= 180.0; lon += 13.987651) {
        Parsed p = Lon(FormatLongitude(lon));
        EXPECT_TRUE(p.messages.empty());
        EXPECT_NEAR(p.value, lon, 0.00005 / 60.0 + 1e-12) << lon;
    }
}

TEST(FormatCoordinate, ValuesOffTheGlobeShowAsUnset)
{
    EXPECT_EQ(FormatLatitude(std::nan("")), "N00 00.0000");
    EXPECT_EQ(FormatLongitude(-INFINITY), "W000 00.0000");
}
