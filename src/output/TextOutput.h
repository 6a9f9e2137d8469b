#pragma once
// The message and expansion lines on standard output, one a line, in UTF-8
// or as the log's code page 1252 bytes.
#include <cstdio>
#include <string>

#include "messages/MessageOutput.h"
#include "platform/Cp1252.h"

class CTextOutput : public IMessageOutput
{
public:
    explicit CTextOutput(bool bCp1252) : m_bCp1252(bCp1252) {}

    void Write(const MessageRecord& record) override
    {
        Print(record.strLine);
        if (!record.strExpansion.empty())
            Print(record.strExpansion);
        std::fflush(stdout);
    }

private:
    void Print(const std::string& line) const
    {
        const std::string out = m_bCp1252 ? line : Cp1252ToUtf8(line);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fputc('\n', stdout);
    }

    bool m_bCp1252;
};
