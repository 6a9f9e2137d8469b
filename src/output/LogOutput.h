#pragma once
// The daily log files as an output: every message line and expansion line is
// appended to the file of its day in one folder, exactly as the desktop
// program's message store writes them.
#include <cstdint>
#include <functional>
#include <string>

#include "messages/MessageOutput.h"

class CLogOutput : public IMessageOutput
{
public:
    // directory: with or without the trailing separator.
    explicit CLogOutput(const std::string& directory);

    void Write(const MessageRecord& record) override;
    // False when lines could not be written; the count is said through onReport.
    bool Finish() override;

    // Lines that could not be written so far.
    uint64_t UnloggedLines() const { return m_nUnlogged; }
    const std::string& Directory() const { return m_strDirectory; }

    // Told once, at Finish, how many lines were lost. Empty: nothing said.
    std::function<void(const std::string& text)> onReport;

private:
    std::string m_strGiven;      // as given, for messages
    std::string m_strDirectory;  // ends in '/'
    uint64_t m_nUnlogged = 0;
};
