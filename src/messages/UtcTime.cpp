#include "messages/UtcTime.h"

#include <ctime>

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (any year).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

int64_t InstantFromDayOfYear(int64_t nYear, int64_t nDay, int64_t nHour, int64_t nMinute,
                             int64_t nSecond)
{
    const int64_t start = DaysFromCivil(nYear, 1, 1) * 86400;
    return start + (((nDay - 1) * 24 + nHour) * 60 + nMinute) * 60 + nSecond;
}

std::string FormatUtc(int64_t instant, const char* format)
{
    const time_t t = static_cast<time_t>(instant);
    struct tm parts = {};
    if (gmtime_r(&t, &parts) == nullptr) {
        return std::string();
    }
    char text[128];
    const size_t n = std::strftime(text, sizeof text, format, &parts);
    return std::string(text, n);
}
