#pragma once
// CRC-16/XMODEM frame check: polynomial 0x1021, initial value 0, not
// reflected, no final exclusive-or; computed a byte at a time from a table
// built on first use. The last two bytes of a frame carry the value over the
// others, high byte first.
#include <cstdint>

#include "platform/WinTypes.h"

struct FrameVerdict
{
    uint16_t wComputed = 0;  // check value over b[0] .. b[n-3]
    uint16_t wReceived = 0;  // b[n-2] * 256 + b[n-1]
    bool bMatched = false;
};

class CFrameCheck
{
public:
    uint16_t m_wCrcTable[256] = {};
    BOOL m_bCrcTableReady = 0;

    void BuildCrcTable();
    // crc: running value (low 16 bits used); byte: 0..255. Returns the new value;
    // callers keep its low 16 bits.
    unsigned CrcUpdate(unsigned crc, unsigned byte);
    // n >= 2 (the decoder hands over 5 to 46 bytes).
    FrameVerdict CheckFrame(const uint8_t* bytes, int n);
};
