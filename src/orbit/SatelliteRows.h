#pragma once
// The satellites view as plain data: one line of text per predictable table
// entry, in code order, 15 pixels apart. The window draws these rows and
// halvex3-predict prints them, so both show the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "orbit/Predict.h"

class CSatelliteTable;
class IClock;

struct SatelliteRow
{
    int nCode = 0;
    int nY = 0;           // top of the row in pixels: 15 per row shown above it
    std::string strText;  // code page 1252 (the degree sign is byte 0xB0)
};

constexpr int kSatelliteRowHeight = 15;

// The line of one satellite, e.g.
// "NOAA-18 lat  60.00\xB0 lon   10.00\xB0 az 031\xB0 alt  30\xB0 range  1413km  +0.7kHz@466MHz".
std::string FormatSatelliteLine(int code, const SatPosition& pos, const LookAngles& look, double dopplerKHz);

// One drawing of the view: rows for codes 0..63 that IsPredictable() accepts,
// the clock read once per entry. Updates table.m_dLastGroundDist for every
// row, so the next call's Doppler shift compares with this one.
std::vector<SatelliteRow> ComputeSatelliteRows(CSatelliteTable& table, double homeLat, double homeLon,
                                               const IClock& clock);
