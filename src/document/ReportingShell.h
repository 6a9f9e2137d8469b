#pragma once
// Starting other programs where the user asked for it (Help, the audio mixer):
// a request that starts nothing is answered with a message box naming what is
// missing, instead of passing without a word.
#include <string>

#include "platform/Shell.h"

class IDocUi;

class CReportingShell final : public IShell
{
public:
    CReportingShell(IShell& inner, IDocUi& ui) : m_inner(inner), m_ui(ui) {}

    bool ShellExecute(const std::string& verb, const std::string& file, const std::string& params) override;
    std::string LastFailure() const override { return m_inner.LastFailure(); }

private:
    IShell& m_inner;
    IDocUi& m_ui;
};
