#include "synth/FrameBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Bit by bit, on purpose: the decoder's check is table-driven, so frames made
// here cross-check it rather than repeat it.
uint16_t CrcXmodemBitwise(const std::vector<uint8_t>& body)
{
    uint16_t crc = 0;
    for (uint8_t byte : body) {
        crc = static_cast<uint16_t>(crc ^ (byte << 8));
        for (int i = 0; i < 8; ++i) {
            crc =
                (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
        }
    }
    return crc;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> body)
{
    const uint16_t crc = CrcXmodemBitwise(body);
    body.push_back(static_cast<uint8_t>(crc >> 8));
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    return body;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

std::vector<uint8_t> BytesFromHex(std::string hex)
{
    if (hex.size() % 2 != 0) {
        hex += '0';
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(HexValue(hex[i]) * 16 + HexValue(hex[i + 1])));
    }
    return bytes;
}

void AppendBits(std::string& bits, int64_t value, int width)
{
    const int64_t top = (int64_t{1} << width) - 1;
    value = std::clamp<int64_t>(value, 0, top);
    for (int b = width - 1; b >= 0; --b) {
        bits += ((value >> b) & 1) ? '1' : '0';
    }
}

int64_t Scaled(double value, double scale)
{
    return static_cast<int64_t>(std::llround(value * scale));
}

// Decimal digits of a non-negative value, as many as the field has.
std::string DecimalDigits(int value, int width)
{
    int modulus = 1;
    for (int i = 0; i < width; ++i) {
        modulus *= 10;
    }
    const int v = std::abs(value) % modulus;
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, v);
    return text;
}

}  // namespace

std::string OrbitBulletinBits(const BulletinFields& f)
{
    const int yearOffset = std::clamp(f.nYear - 2000, 0, 159);
    const int day = std::clamp(f.nDay, 0, 999);
    std::string bits = "00";
    AppendBits(bits, yearOffset / 10, 4);
    AppendBits(bits, yearOffset % 10, 4);
    AppendBits(bits, day / 100, 4);
    AppendBits(bits, day / 10 % 10, 4);
    AppendBits(bits, day % 10, 4);
    for (int part : {f.nHour, f.nMinute, f.nSecond}) {
        const int v = std::clamp(part, 0, 99);
        AppendBits(bits, v / 10, 4);
        AppendBits(bits, v % 10, 4);
    }
    AppendBits(bits, Scaled(f.dEql, 1000.0), 19);
    AppendBits(bits, Scaled(f.dDl, 1000.0) + 26000, 10);
    AppendBits(bits, Scaled(f.dPerMin, 1000.0) - 95000, 14);
    AppendBits(bits, Scaled(f.dA, 1000.0) - 7000000, 19);
    AppendBits(bits, Scaled(f.dARate, -10.0), 8);
    AppendBits(bits, Scaled(f.dInc - 97.0, 10000.0), 16);
    return bits;
}

std::vector<uint8_t> BuildOrbitBulletinFromBits(int nCode, const std::string& bits)
{
    // Header 00 00 0B E0 00, the code nibble, then the 132-bit element string.
    std::string all = "0000000000000000000010111110000000000000";
    AppendBits(all, nCode & 0x0F, 4);
    std::string elements = bits.substr(0, 132);
    elements.resize(132, '0');
    all += elements;
    std::vector<uint8_t> body(all.size() / 8, 0);
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == '1') {
            body[i / 8] = static_cast<uint8_t>(body[i / 8] | (0x80 >> (i % 8)));
        }
    }
    return WithCrc(std::move(body));
}

std::vector<uint8_t> BuildOrbitBulletin(const BulletinFields& fields)
{
    return BuildOrbitBulletinFromBits(fields.nCode, OrbitBulletinBits(fields));
}

std::vector<uint8_t> BuildDateTimeStamp(int nYear, int nDay, int nHour, int nMinute, int nSecond, int nMillis)
{
    return BuildFrameFromHex("00000E1000" + DecimalDigits(nYear, 4) + DecimalDigits(nDay, 3) +
                             DecimalDigits(nHour, 2) + DecimalDigits(nMinute, 2) + DecimalDigits(nSecond, 2) +
                             DecimalDigits(nMillis, 3));
}

std::vector<uint8_t> BuildStatusSummary(const std::vector<StatusEntry>& entries)
{
    static const char kHex[] = "0123456789ABCDEF";
    const size_t count = std::min<size_t>(entries.size(), 15);
    std::string hex = "00000C7000";
    hex += kHex[count];
    for (size_t i = 0; i < count; ++i) {
        hex += kHex[entries[i].nCode & 0x0F];
        hex += kHex[entries[i].nStatus & 0x0F];
        hex += kHex[entries[i].nMode & 0x0F];
    }
    return BuildFrameFromHex(hex);
}

std::vector<uint8_t> BuildFrameFromHex(const std::string& hex)
{
    return WithCrc(BytesFromHex(hex));
}
