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

int64_t InstantFromDayOfYear(int64_t nYear, int64_t nDay, int64_t nHour, int64_t nMinute, int64_t nSecond)
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

bool ParseUtcTimestamp(const std::string& text, int64_t& instant)
{
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return false;
    auto number = [&](size_t at, size_t len, int64_t& v) {
        v = 0;
        for (size_t i = at; i < at + len; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            v = v * 10 + (text[i] - '0');
        }
        return true;
    };
    int64_t y, mo, d, h, mi, s;
    if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) ||
        !number(14, 2, mi) || !number(17, 2, s))
        return false;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mo < 1 || mo > 12)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int64_t monthDays = kDays[mo - 1] + (mo == 2 && leap ? 1 : 0);
    if (d < 1 || d > monthDays || h > 23 || mi > 59 || s > 59)
        return false;
    instant = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}
