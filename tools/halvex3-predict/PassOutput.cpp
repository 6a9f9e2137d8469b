#include "PassOutput.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "HalvexVersion.h"
#include "messages/SatelliteTable.h"
#include "messages/UtcTime.h"
#include "orbit/PassFormat.h"
#include "orbit/Passes.h"

namespace {

double Hundredths(double degrees)
{
    return std::round(degrees * 100.0) / 100.0;
}

std::string CalendarTime(int64_t instant)
{
    return FormatUtc(instant, "%Y%m%dT%H%M%SZ");
}

// TEXT values escape backslash, semicolon, comma and line feed.
std::string EscapeText(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == ';' || c == ',')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// A content line folded after at most 75 octets, never inside a UTF-8
// character; continuation lines start with one blank.
void AppendLine(std::string& out, const std::string& line)
{
    size_t pos = 0;
    size_t room = 75;
    while (line.size() - pos > room) {
        size_t cut = pos + room;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line, pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        room = 74;  // the leading blank counts
    }
    out.append(line, pos, std::string::npos);
    out += "\r\n";
}

const char kDegree[] = "\xC2\xB0";

}  // namespace

std::string PassJsonLine(const SatellitePass& pass)
{
    nlohmann::ordered_json j;
    j["satellite"] = SatelliteName(pass.nCode);
    j["code"] = pass.nCode;
    j["aos"] = FormatPassInstant(pass.nAos);
    j["aos_azimuth"] = Hundredths(pass.dAosAzimuth);
    j["tca"] = FormatPassInstant(pass.nTca);
    j["max_elevation"] = Hundredths(pass.dMaxElevation);
    j["los"] = FormatPassInstant(pass.nLos);
    j["los_azimuth"] = Hundredths(pass.dLosAzimuth);
    return j.dump();
}

std::string PassCalendar(const std::vector<SatellitePass>& passes, int64_t stamp)
{
    std::string out;
    AppendLine(out, "BEGIN:VCALENDAR");
    AppendLine(out, "VERSION:2.0");
    AppendLine(out, "PRODID:-//Halvex//halvex3-predict " HALVEX_VERSION "//EN");
    AppendLine(out, "CALSCALE:GREGORIAN");
    AppendLine(out, "METHOD:PUBLISH");
    for (const SatellitePass& pass : passes) {
        const std::string name = SatelliteName(pass.nCode);
        char max[16];
        std::snprintf(max, sizeof max, "%.0f", pass.dMaxElevation);
        char details[200];
        std::snprintf(
            details, sizeof details,
            "AOS %s UTC azimuth %.0f%s, greatest elevation %.1f%s at %s UTC, LOS %s UTC azimuth %.0f%s",
            FormatUtc(pass.nAos, "%H:%M:%S").c_str(), pass.dAosAzimuth, kDegree, pass.dMaxElevation, kDegree,
            FormatUtc(pass.nTca, "%H:%M:%S").c_str(), FormatUtc(pass.nLos, "%H:%M:%S").c_str(),
            pass.dLosAzimuth, kDegree);
        AppendLine(out, "BEGIN:VEVENT");
        AppendLine(out,
                   "UID:" + CalendarTime(pass.nAos) + "-" + std::to_string(pass.nCode) + "@halvex3-predict");
        AppendLine(out, "DTSTAMP:" + CalendarTime(stamp));
        AppendLine(out, "DTSTART:" + CalendarTime(pass.nAos));
        // The last second up ends a second after it begins.
        AppendLine(out, "DTEND:" + CalendarTime(pass.nLos + 1));
        AppendLine(out, "SUMMARY:" + EscapeText(name + " pass, max " + max + kDegree));
        AppendLine(out, "DESCRIPTION:" + EscapeText(details));
        AppendLine(out, "TRANSP:TRANSPARENT");
        AppendLine(out, "END:VEVENT");
    }
    AppendLine(out, "END:VCALENDAR");
    return out;
}
