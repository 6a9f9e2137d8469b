#pragma once
// Reads the three kinds of satellite frame out of the text of a message line
// (not the frame's bytes): character 12 onwards is frame digit (character - 2).
//
//   00000BE xxx C EEEEEEEE...E (33 digits, 132 bits) [CRC] time    orbit-element bulletin
//   00000E1 xxx YYYY DDD HH MM SS FFF [CRC] time                  date-time stamp
//   00000C7 xxx N (code status mode) x N [CRC] time               status summary
//
// Digits 7-9 ("xxx") are not examined. Nothing here touches the ring, the log
// or the satellite table; CMessageStore::InterpretMessage does that.
#include <cstdint>
#include <string>

enum class MessageKind
{
    kNone,
    kOrbitBulletin,  // "00000BE"
    kDateTimeStamp,  // "00000E1"
    kStatusSummary,  // "00000C7"
};

// Tested in the order bulletin, date-time, status; at most one matches.
MessageKind ClassifyMessage(const std::string& line);

// '0'/'1' text as an unsigned binary number, first character most significant;
// every character other than '1' counts as 0; empty text gives 0.
int64_t BinaryToInt(const std::string& bits);

// What an orbit-element bulletin broadcasts, already scaled.
struct OrbitElements
{
    int nCode = 0;         // satellite code 0..15
    int64_t nEqxTime = 0;  // equator crossing, seconds since 1970 UTC
    double dEql = 0.0;     // crossing longitude, degrees east
    double dDl = 0.0;      // longitude increment, degrees
    double dPerMin = 0.0;  // period, minutes
    double dA = 0.0;       // semi-major axis, km
    double dARate = 0.0;   // semi-major axis rate, metres per day
    double dInc = 0.0;     // inclination, degrees
};

// False when the code is not a hexadecimal digit, or when the frame is too
// short to hold all 33 element digits (characters 13..45 must all be frame
// digits): a short bulletin would otherwise read the check value and the time
// as orbit elements.
bool ReadOrbitBulletin(const std::string& line, OrbitElements& elements);
// "<name> Ephem: Eqx ...;Eql ...;dl ...°;per ...m;a ...km;a' ...m/d;Inc ...°"
std::string FormatOrbitBulletin(const OrbitElements& elements);

// "Datetime : %Y-%m-%d %H:%M:%S.FFF"; false when a field does not begin with a number.
bool ExpandDateTimeStamp(const std::string& line, std::string& expansion);

// "Stats(dwnlnk/mode):" and one entry per satellite; false when the entry
// count is not a hexadecimal digit. Entries read nothing past the line's end.
bool ExpandStatusSummary(const std::string& line, std::string& expansion);

struct Interpretation
{
    MessageKind kind = MessageKind::kNone;
    std::string strExpansion;
    OrbitElements elements;  // bulletins only
};

// The expansion line of a matched frame's message line; false when the line
// adds nothing (another kind, or a frame the kind's reader gives up on).
bool InterpretLine(const std::string& line, Interpretation& result);
