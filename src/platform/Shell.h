#pragma once
// Starting other programs: the desktop's opener for documents, and spawned
// programs such as the audio mixer. Results are not waited for.
#include <string>

class IShell
{
public:
    virtual ~IShell() = default;
    // verb "open"; file is a path or a program name; params may be empty.
    // Returns false when nothing could be started.
    virtual bool ShellExecute(const std::string& verb, const std::string& file,
                              const std::string& params) = 0;
    // After ShellExecute returned false: what was missing or failed, in a
    // sentence fit for a message box; empty when there is nothing to add.
    virtual std::string LastFailure() const { return {}; }
};
