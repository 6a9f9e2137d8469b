#include "document/ReportingShell.h"

#include "document/DocUi.h"

bool CReportingShell::ShellExecute(const std::string& verb, const std::string& file,
                                   const std::string& params)
{
    if (m_inner.ShellExecute(verb, file, params))
        return true;
    std::string text = m_inner.LastFailure();
    if (text.empty())
        text = "Nothing could be started to open " + file + ".";
    m_ui.ShowMessage(text);
    return false;
}
