#include "output/LogOutput.h"

#include "messages/MessageStore.h"

CLogOutput::CLogOutput(const std::string& directory) : m_strGiven(directory), m_strDirectory(directory)
{
    if (m_strDirectory.empty() || m_strDirectory.back() != '/')
        m_strDirectory += '/';
}

void CLogOutput::Write(const MessageRecord& record)
{
    if (!AppendDailyLogLine(m_strDirectory, record.nTime, record.strLine))
        ++m_nUnlogged;
    if (!record.strExpansion.empty() &&
        !AppendDailyLogLine(m_strDirectory, record.nTime, record.strExpansion))
        ++m_nUnlogged;
}

bool CLogOutput::Finish()
{
    if (m_nUnlogged == 0)
        return true;
    if (onReport)
        onReport(std::to_string(m_nUnlogged) + " lines could not be written to the log files in " +
                 m_strGiven);
    return false;
}
