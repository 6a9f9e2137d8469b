// The coordinate parser on whatever may be typed into the Home location
// dialog (or edited into a settings file's preset).
//
//   byte 0: bit 0 set: longitude, else latitude;  rest: the text
//
// The result is a finite number in range (0.0 after an error), at most one
// message is shown, and a result that was accepted formats to a preset that
// parses back to it without a message.
#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "location/Coordinate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput in(data, size);
    const bool bLatitude = (in.TakeByte() & 1) == 0;
    const std::string text = in.RestAsString();

    int nMessages = 0;
    auto count = [&](const std::string& message) {
        FUZZ_CHECK(!message.empty());
        ++nMessages;
    };
    const double value = ParseCoordinate(text, bLatitude, count);
    const double limit = bLatitude ? 90.0 : 180.0;
    FUZZ_CHECK(std::isfinite(value));
    FUZZ_CHECK(value >= -limit && value <= limit);
    FUZZ_CHECK(nMessages <= 1);
    if (nMessages == 1)
        FUZZ_CHECK(value == 0.0);

    const std::string preset = bLatitude ? FormatLatitude(value) : FormatLongitude(value);
    int nBack = 0;
    const double back = ParseCoordinate(preset, bLatitude, [&](const std::string&) { ++nBack; });
    FUZZ_CHECK(nBack == 0);
    // The preset keeps four decimals of a minute.
    FUZZ_CHECK(std::fabs(back - value) <= 0.00005 / 60.0 + 1e-12);
    return 0;
}
