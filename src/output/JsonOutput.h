#pragma once
// Message records as JSON Lines (UTF-8), one object a line in log order:
//   {"time":"2009-05-01T14:03:27Z","hex":"...","crc_ok":true,"line":"...",
//    "expansion":"...","station":"..."}
// "expansion" only when one was made, "station" only when a name is given.
#include <cstdio>
#include <string>

#include "messages/MessageOutput.h"

// The record's JSON object, without a line break. station empty: no "station".
std::string MessageRecordToJson(const MessageRecord& record, const std::string& station);

// The frame's bytes as upper-case hex digits without spaces.
std::string FrameHex(const std::vector<uint8_t>& frame);

class CJsonOutput : public IMessageOutput
{
public:
    // Writes to the given stream (not owned); station empty: none named.
    CJsonOutput(std::FILE* out, std::string station) : m_out(out), m_strStation(std::move(station)) {}

    void Write(const MessageRecord& record) override;

private:
    std::FILE* m_out;
    std::string m_strStation;
};
