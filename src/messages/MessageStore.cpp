#include "messages/MessageStore.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "messages/Interpretation.h"
#include "messages/SatelliteTable.h"
#include "messages/UtcTime.h"
#include "platform/Clock.h"
#include "platform/FileText.h"

CMessageStore::CMessageStore(CSatelliteTable& table, const IClock& clock) : m_table(table), m_clock(clock) {}

//  H = "%02X" of every byte, check bytes included (2n digits)
//  H[0..6] ' ' H[7..9] ' ' H[10..2n-5] " [" H[2n-4..2n-1] [" calc CRC %04X"] "] %Y-%m-%d %H:%M:%S"
//  Frames of 5 or 6 bytes have an empty middle group and show some check
//  digits twice; that is the format, not a fault.
std::string CMessageStore::FormatMessageLine(const uint8_t* bytes, int n, const FrameVerdict& verdict,
                                             int64_t now)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    hex.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 0x0F];
    }
    const size_t digits = hex.size();

    std::string line;
    line.reserve(digits + 48);
    line += hex.substr(0, 7);
    line += ' ';
    line += digits > 7 ? hex.substr(7, 3) : std::string();
    line += ' ';
    if (digits > 14) {
        line += hex.substr(10, digits - 14);
    }
    line += " [";
    line += hex.substr(digits >= 4 ? digits - 4 : 0);
    if (!verdict.bMatched) {
        char calc[24];
        std::snprintf(calc, sizeof calc, " calc CRC %04X", static_cast<unsigned>(verdict.wComputed));
        line += calc;
    }
    line += FormatUtc(now, "] %Y-%m-%d %H:%M:%S");
    return line;
}

std::string CMessageStore::StoreMessageLine(const uint8_t* bytes, int n, const FrameVerdict& verdict)
{
    const int slot = m_nMessageIndex;
    m_strMessages[slot] = FormatMessageLine(bytes, n, verdict, m_clock.Now());
    AppendLogLine(slot);
    m_nMessageIndex = (slot + 1) % kRingSlots;
    return m_strMessages[slot];
}

std::string DailyLogPath(const std::string& directory, int64_t now)
{
    return directory + FormatUtc(now, "halvex3log%Y%m%d.txt");
}

std::string CMessageStore::LogFilePath(int64_t now) const
{
    return DailyLogPath(m_strLogDirectory, now);
}

bool AppendDailyLogLine(const std::string& directory, int64_t now, const std::string& line)
{
    const std::string path = DailyLogPath(directory, now);
    const std::string text = line + "\n";
    if (AppendWholeText(path, text)) {
        return true;
    }
    // A log directory that does not exist yet (first run, removed meanwhile)
    // is made, rather than losing every line of the day.
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    std::error_code error;
    return !dir.empty() && !std::filesystem::exists(dir, error) &&
           std::filesystem::create_directories(dir, error) && AppendWholeText(path, text);
}

// Opened, appended to and closed for every line, so the file is never held
// between lines and a day's file changes exactly at 00:00 UTC.
bool CMessageStore::AppendLogLine(int slot)
{
    const std::string& line = m_strMessages[((slot % kRingSlots) + kRingSlots) % kRingSlots];
    const bool written = m_bWriteLogFiles && AppendDailyLogLine(m_strLogDirectory, m_clock.Now(), line);
    if (m_onLogLine) {
        m_onLogLine(line, written);
    }
    return written;
}

void CMessageStore::InsertExpansionLine(const std::string& messageLineCopy)
{
    const int slot = m_nMessageIndex;
    const int previous = (slot + kRingSlots - 1) % kRingSlots;
    m_strMessages[previous] = m_strMessages[slot];
    m_strMessages[slot] = messageLineCopy;
    m_nMessageIndex = (slot + 1) % kRingSlots;
}

std::string CMessageStore::InterpretMessage(const std::string& line)
{
    Interpretation result;
    if (!InterpretLine(line, result)) {
        return std::string();
    }
    if (result.kind == MessageKind::kOrbitBulletin) {
        const OrbitElements& e = result.elements;
        // The table keeps 32 bits; the low 32 bits of the instant read back
        // unsigned (EqxTime) stay right until 2106.
        m_table.m_nEqx[e.nCode] =
            static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(e.nEqxTime)));
        m_table.m_dEql[e.nCode] = e.dEql;
        m_table.m_dPer[e.nCode] = e.dPerMin * 60.0;
        m_table.m_dInc[e.nCode] = e.dInc;
    }
    m_strMessages[m_nMessageIndex] = result.strExpansion;
    AppendLogLine(m_nMessageIndex);
    InsertExpansionLine(line);
    return result.strExpansion;
}

void CMessageStore::OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict)
{
    if (!verdict.bMatched && m_bRequireCrc) {
        return;
    }
    const std::string line = StoreMessageLine(bytes, n, verdict);
    std::string expansion;
    if (verdict.bMatched && m_bExpandMsgs) {
        expansion = InterpretMessage(line);
    }
    if (m_onRecord) {
        MessageRecord record;
        record.nTime = m_clock.Now();
        record.frame.assign(bytes, bytes + (n > 0 ? n : 0));
        record.bCrcOk = verdict.bMatched;
        record.strLine = line;
        record.strExpansion = std::move(expansion);
        m_onRecord(record);
    }
    if (m_onRedraw) {
        m_onRedraw();
    }
}

void CMessageStore::ClearForStart()
{
    for (std::string& slot : m_strMessages) {
        slot.clear();
    }
    m_nMessageIndex = 0;
}
