#pragma once
// A shell that opens nothing and records every request, in order.
#include <string>
#include <vector>

#include "platform/Shell.h"

class RecordingShell : public IShell
{
public:
    struct Call
    {
        std::string verb, file, params;
    };
    // Where the calls go: the shell's own list, or one the test keeps (the
    // shell may be owned, and outlived, by the code under test).
    // pbFails: when set and true, nothing can be started (as with no opener installed).
    explicit RecordingShell(std::vector<Call>* pCalls = nullptr, const bool* pbFails = nullptr)
        : m_pCalls(pCalls ? pCalls : &calls), m_pbFails(pbFails)
    {
    }
    RecordingShell(const RecordingShell&) = delete;
    RecordingShell& operator=(const RecordingShell&) = delete;
    bool ShellExecute(const std::string& verb, const std::string& file, const std::string& params) override
    {
        m_pCalls->push_back({verb, file, params});
        return !(m_pbFails && *m_pbFails);
    }
    std::string LastFailure() const override { return "The program xdg-open was not found."; }
    std::vector<Call> calls;

private:
    std::vector<Call>* m_pCalls;
    const bool* m_pbFails;
};
