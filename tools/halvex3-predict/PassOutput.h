#pragma once
// halvex3-predict --passes: the passes as JSON Lines and as an iCalendar file.
#include <cstdint>
#include <string>
#include <vector>

struct SatellitePass;

// One JSON object, no line end: satellite, code, aos, aos_azimuth, tca,
// max_elevation, los, los_azimuth (times UTC, angles in degrees to 0.01).
std::string PassJsonLine(const SatellitePass& pass);

// An iCalendar (RFC 5545) document with one event per pass: CRLF line ends,
// lines folded at 75 octets, UTF-8. stamp is the DTSTAMP of every event.
std::string PassCalendar(const std::vector<SatellitePass>& passes, int64_t stamp);
