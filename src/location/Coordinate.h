#pragma once
// The home location's notation: a hemisphere letter, then degrees, degrees and
// minutes, or degrees, minutes and seconds separated by blanks:
//
//   N52.5083     N52 30.5     N52 30 30     s33 52     e151 12.5
//
// Parsing and formatting are independent of the C library's locale, so a
// desktop that uses a decimal comma still reads and shows a decimal point.
#include <functional>
#include <string>

// Shows one message to the user (a message box in the desktop program).
using MessageSink = std::function<void(const std::string& text)>;

// The text as signed decimal degrees (north and east positive). Any error is
// reported through showMessage (at most one message per call) and gives 0.0.
double ParseCoordinate(const std::string& text, bool bLatitude, const MessageSink& showMessage);

// The same reading, telling an accepted text (true, value set) from one that
// was refused with a message (false, value 0.0). Text the fields leave over,
// other than blanks, and a sign after the hemisphere letter are refused.
bool ReadCoordinate(const std::string& text, bool bLatitude, const MessageSink& showMessage, double& value);

// The stored location as the Home location dialog presets it:
// "N52 30.5000" ("%c%02d %07.4lf") and "W008 36.5000" ("%c%03d %07.4lf").
std::string FormatLatitude(double dLatitude);
std::string FormatLongitude(double dLongitude);
