#include "decoder/FrameCheck.h"

//  b[0] b[1] ... b[n-3] | b[n-2] b[n-1]
//  CRC-16/XMODEM over b[0..n-3]  | received value, high byte first

void CFrameCheck::BuildCrcTable()
{
    for (unsigned i = 0; i < 256; ++i) {
        unsigned acc = 0;
        unsigned shifter = i * 256;
        for (int bit = 0; bit < 8; ++bit) {
            if (((shifter ^ acc) & 0x8000) != 0)
                acc = (acc * 2) ^ 0x1021;
            else
                acc = acc * 2;
            shifter *= 2;
        }
        m_wCrcTable[i] = static_cast<uint16_t>(acc & 0xFFFF);
    }
    m_bCrcTableReady = 1;
}

unsigned CFrameCheck::CrcUpdate(unsigned crc, unsigned byte)
{
    if (m_bCrcTableReady == 0)
        BuildCrcTable();
    const unsigned low16 = crc & 0xFFFF;
    // The byte is masked so that an out-of-range argument cannot index past the table.
    return ((low16 * 256) & 0xFF00) ^ m_wCrcTable[((low16 / 256) & 0xFF) ^ (byte & 0xFF)];
}

FrameVerdict CFrameCheck::CheckFrame(const uint8_t* bytes, int n)
{
    FrameVerdict verdict;
    // Fewer than two bytes carry no check value at all; nothing can match.
    if (bytes == nullptr || n < 2)
        return verdict;
    unsigned computed = 0;
    for (int i = 0; i <= n - 3; ++i)
        computed = CrcUpdate(computed, bytes[i]) & 0xFFFF;
    verdict.wComputed = static_cast<uint16_t>(computed);
    verdict.wReceived = static_cast<uint16_t>(bytes[n - 2] * 256 + bytes[n - 1]);
    verdict.bMatched = verdict.wReceived == verdict.wComputed;
    return verdict;
}
