#pragma once
// Instants are seconds since 1970-01-01 00:00:00 UTC in 64 bits, so nothing
// wraps in 2038 however the broadcast year reads.
#include <cstdint>
#include <string>

// The instant year-01-01 00:00:00 UTC plus the day of year (1 = 1 January) and
// time of day. Out-of-range parts (day 0, hour 25) simply enter the sum.
int64_t InstantFromDayOfYear(int64_t nYear, int64_t nDay, int64_t nHour, int64_t nMinute, int64_t nSecond);

// strftime-style text of the instant in UTC; empty when the instant has no
// calendar date (far outside any year a frame can carry).
std::string FormatUtc(int64_t instant, const char* format);

// "YYYY-MM-DDTHH:MM:SSZ" (as the command-line programs take it): a real
// calendar date and time of day, every field checked. False leaves instant alone.
bool ParseUtcTimestamp(const std::string& text, int64_t& instant);
