#pragma once
// A pass as one line of text, as halvex3-predict prints it and the Passes
// view draws it (code page 1252: the degree sign is byte 0xB0), e.g.
// "NOAA-18  AOS 2026-12-07 10:12:05 az 012\xB0  TCA 10:19:33 max 41.2\xB0  LOS 10:26:58 az 187\xB0  14m53s"
#include <cstdint>
#include <string>

struct SatellitePass;

std::string FormatPassLine(const SatellitePass& pass);
// "2026-12-07T10:12:05Z"
std::string FormatPassInstant(int64_t instant);
