#include "output/JsonOutput.h"

#include <nlohmann/json.hpp>

#include "messages/UtcTime.h"
#include "platform/Cp1252.h"

std::string FrameHex(const std::vector<uint8_t>& frame)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(2 * frame.size());
    for (const uint8_t b : frame) {
        hex += kHex[b >> 4];
        hex += kHex[b & 0x0F];
    }
    return hex;
}

std::string MessageRecordToJson(const MessageRecord& record, const std::string& station)
{
    nlohmann::ordered_json object;
    object["time"] = FormatUtc(record.nTime, "%Y-%m-%dT%H:%M:%SZ");
    object["hex"] = FrameHex(record.frame);
    object["crc_ok"] = record.bCrcOk;
    object["line"] = Cp1252ToUtf8(record.strLine);
    if (!record.strExpansion.empty())
        object["expansion"] = Cp1252ToUtf8(record.strExpansion);
    if (!station.empty())
        object["station"] = station;
    // The station name comes from the command line and may not be UTF-8:
    // such bytes become U+FFFD rather than ending the program.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void CJsonOutput::Write(const MessageRecord& record)
{
    const std::string text = MessageRecordToJson(record, m_strStation) + "\n";
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fflush(m_out);
}
