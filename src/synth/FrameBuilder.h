#pragma once
// Builds the frames the interpretation reads (with CRC appended), from field
// values: orbit-element bulletins, date-time stamps and status summaries.
// The inverse of the interpretation; used by the tests and halvex3-synth.
//
//   bulletin   00 00 0B Ex xx | code(4) | 2 unused bits | 130 bits of fields | CRC  (24 bytes)
//   date-time  00 00 0E 1x xx | YYYY DDD HH MM SS FFF (decimal digits as hex nibbles) | CRC
//   status     00 00 0C 7x xx | N | N x (code, status, mode) | CRC
#include <cstdint>
#include <string>
#include <vector>

struct BulletinFields
{
    int nCode = 8;
    int nYear = 2009;  // 2000..2099
    int nDay = 60;     // day of year
    int nHour = 12, nMinute = 34, nSecond = 56;
    double dEql = 123.456;     // degrees, 0..524.287
    double dDl = -25.312;      // degrees, -26.000..-24.977
    double dPerMin = 102.123;  // minutes, 95.000..111.383
    double dA = 7229.123;      // km, 7000..7524.287
    double dARate = -12.3;     // metres per day, 0..-25.5
    double dInc = 98.7234;     // degrees, 97..103.5535
};

std::vector<uint8_t> BuildOrbitBulletin(const BulletinFields& fields);
// The 132-character element bit string of a bulletin ('0'/'1'; positions 0
// and 1 are 0). Values outside a field's range are clamped to it.
std::string OrbitBulletinBits(const BulletinFields& fields);
// A bulletin from any element bit string (shorter strings are padded with '0'),
// for frames the field values cannot express (digits above 9, bits 0-1 set).
std::vector<uint8_t> BuildOrbitBulletinFromBits(int nCode, const std::string& bits);
// Each value as its decimal digits (4, 3, 2, 2, 2, 3 of them; larger values
// keep their low digits). The fraction is shown as it stands.
std::vector<uint8_t> BuildDateTimeStamp(int nYear, int nDay, int nHour, int nMinute, int nSecond,
                                        int nMillis);

struct StatusEntry
{
    int nCode = 5;    // 0..15
    int nStatus = 1;  // 0..15, shown as its hexadecimal digit
    int nMode = 12;   // 0..15
};
std::vector<uint8_t> BuildStatusSummary(const std::vector<StatusEntry>& entries);

// A frame from a hexadecimal text ("0123456789ABCD"), CRC appended. An odd
// count of digits gets a trailing 0; characters that are not digits count as 0.
std::vector<uint8_t> BuildFrameFromHex(const std::string& hex);
