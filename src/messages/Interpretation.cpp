#include "messages/Interpretation.h"

#include <cstdio>

#include "messages/SatelliteTable.h"
#include "messages/UtcTime.h"

namespace {

// Value of the hexadecimal digit at position pos, or -1 when there is none
// (past the end of the line, or another character).
int HexAt(const std::string& line, size_t pos)
{
    if (pos >= line.size()) {
        return -1;
    }
    const char c = line[pos];
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string Mid(const std::string& line, size_t pos, size_t len)
{
    return pos < line.size() ? line.substr(pos, len) : std::string();
}

// A field read the way sscanf's "%d" reads it from just that field's characters.
bool ReadDecimalField(const std::string& line, size_t pos, size_t len, int& value)
{
    const std::string field = Mid(line, pos, len);
    return std::sscanf(field.c_str(), "%d", &value) == 1;
}

template <typename... Args>
std::string Printf(const char* format, Args... args)
{
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, args...);
    return n > 0 ? std::string(
                       text, static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1)
                 : std::string();
}

const char* const kDownlinkWords[4] = {"off", "rd.", "200", "400"};
const char* const kModeWords[4] = {"Glo", "Reg", "G+R", "o-s"};

}  // namespace

MessageKind ClassifyMessage(const std::string& line)
{
    if (line.starts_with("00000BE")) {
        return MessageKind::kOrbitBulletin;
    }
    if (line.starts_with("00000E1")) {
        return MessageKind::kDateTimeStamp;
    }
    if (line.starts_with("00000C7")) {
        return MessageKind::kStatusSummary;
    }
    return MessageKind::kNone;
}

int64_t BinaryToInt(const std::string& bits)
{
    uint64_t value = 0;
    for (char c : bits) {
        value = value * 2 + (c == '1' ? 1 : 0);
    }
    return static_cast<int64_t>(value);
}

//  00000BE xxx C | 33 digits -> 132-character bit string | [CRC] time
//  bit string (position: field):
//    0-1 unused | 2-9 year BCD | 10-21 day BCD | 22-45 hh mm ss BCD
//    46-64 Eql x0.001 | 65-74 dl (x-26000)x0.001 | 75-88 per (x+95000)x0.001 min
//    89-107 a (x+7000000)x0.001 km | 108-115 a' x(-0.1) m/d | 116-131 inc x0.0001+97
//  BCD digits above 9 are not rejected; they enter the sums as they are.
bool ReadOrbitBulletin(const std::string& line, OrbitElements& elements)
{
    const int code = HexAt(line, 12);
    if (code < 0) {
        return false;
    }
    std::string bits;
    bits.reserve(132);
    for (size_t pos = 13; pos <= 45; ++pos) {
        const int nibble = HexAt(line, pos);
        if (nibble < 0) {
            return false;  // the frame ended before the last element digit
        }
        for (int b = 3; b >= 0; --b) {
            bits += ((nibble >> b) & 1) ? '1' : '0';
        }
    }
    auto field = [&bits](size_t pos, size_t width) { return BinaryToInt(bits.substr(pos, width)); };

    const int64_t year = 2000 + 10 * field(2, 4) + field(6, 4);
    const int64_t day = 100 * field(10, 4) + 10 * field(14, 4) + field(18, 4);
    const int64_t hour = 10 * field(22, 4) + field(26, 4);
    const int64_t minute = 10 * field(30, 4) + field(34, 4);
    const int64_t second = 10 * field(38, 4) + field(42, 4);

    elements.nCode = code;
    elements.nEqxTime = InstantFromDayOfYear(year, day, hour, minute, second);
    elements.dEql = static_cast<double>(field(46, 19)) * 0.001;
    elements.dDl = static_cast<double>(field(65, 10) - 26000) * 0.001;
    elements.dPerMin = static_cast<double>(field(75, 14) + 95000) * 0.001;
    elements.dA = static_cast<double>(field(89, 19) + 7000000) * 0.001;
    elements.dARate = static_cast<double>(field(108, 8)) * -0.1;
    elements.dInc = static_cast<double>(field(116, 16)) * 0.0001 + 97.0;
    return true;
}

std::string FormatOrbitBulletin(const OrbitElements& e)
{
    std::string text;
    if (const char* name = KnownSatelliteName(e.nCode)) {
        text = name;
    }
    text += " Ephem: ";
    text += FormatUtc(e.nEqxTime, "Eqx %Y-%m-%d %H:%M:%S;");
    text += Printf("Eql %7.3lf;", e.dEql);
    text += Printf("dl %7.3lf\xB0;", e.dDl);
    text += Printf("per %7.3lfm;", e.dPerMin);
    text += Printf("a %8.3lfkm;", e.dA);
    text += Printf("a' %5.1lfm/d;", e.dARate);
    text += Printf("Inc %8.5lf\xB0", e.dInc);
    return text;
}

//  00000E1 xxx YYYY DDD HH MM SS FFF    characters 12-15, 16-18, 19-20, 21-22, 23-24, 25-27
//  The year is taken as read (no 2000 added); the fraction is copied as text.
bool ExpandDateTimeStamp(const std::string& line, std::string& expansion)
{
    int year = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDecimalField(line, 12, 4, year) || !ReadDecimalField(line, 16, 3, day) ||
        !ReadDecimalField(line, 19, 2, hour) || !ReadDecimalField(line, 21, 2, minute) ||
        !ReadDecimalField(line, 23, 2, second)) {
        return false;
    }
    const int64_t instant = InstantFromDayOfYear(year, day, hour, minute, second);
    expansion = "Datetime : " + FormatUtc(instant, "%Y-%m-%d %H:%M:%S.") + Mid(line, 25, 3);
    return true;
}

//  00000C7 xxx N | code status mode | ... N entries from character 13 | [CRC] time
//  Entries are not held to the frame's length: one that runs into " [", the
//  check value or the time reads those characters; past the line's end there
//  is nothing to read.
bool ExpandStatusSummary(const std::string& line, std::string& expansion)
{
    const int count = HexAt(line, 12);
    if (count < 0) {
        return false;
    }
    std::string text = "Stats(dwnlnk/mode):";
    for (int i = 0; i < count; ++i) {
        const size_t pos = 13 + 3 * static_cast<size_t>(i);
        const int code = HexAt(line, pos);
        if (code < 0) {
            continue;
        }
        int mode = HexAt(line, pos + 2);
        if (mode < 0) {
            mode = 0;
        }
        if (const char* name = KnownSatelliteName(code)) {
            text += name;
            text += '(';
        }
        if (pos + 1 < line.size()) {
            text += line[pos + 1];
        }
        text += ')';
        text += kDownlinkWords[mode / 4];
        text += '/';
        text += kModeWords[mode % 4];
        text += ';';
    }
    expansion = text;
    return true;
}

bool InterpretLine(const std::string& line, Interpretation& result)
{
    result = Interpretation();
    result.kind = ClassifyMessage(line);
    switch (result.kind) {
        case MessageKind::kOrbitBulletin:
            if (!ReadOrbitBulletin(line, result.elements)) {
                return false;
            }
            result.strExpansion = FormatOrbitBulletin(result.elements);
            return true;
        case MessageKind::kDateTimeStamp:
            return ExpandDateTimeStamp(line, result.strExpansion);
        case MessageKind::kStatusSummary:
            return ExpandStatusSummary(line, result.strExpansion);
        case MessageKind::kNone:
            break;
    }
    return false;
}
