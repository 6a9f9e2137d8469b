#pragma once
// Starting other programs on a Linux desktop. "open" of a document, folder or
// URL goes to xdg-open; the Windows volume control "sndvol32" becomes the
// desktop's audio input control: pavucontrol on its input-devices tab, else
// the GNOME sound settings, else alsamixer in a terminal. Programs are found
// on PATH before anything is started, so a missing one gives false rather
// than a silent failure, and each is started detached (no zombie is left and
// nothing is waited for).
#include <string>
#include <vector>

#include "platform/Shell.h"

class CDesktopShell final : public IShell
{
public:
    // strPath: the search path; empty takes the PATH of the environment.
    explicit CDesktopShell(std::string strPath = {});

    bool ShellExecute(const std::string& verb, const std::string& file, const std::string& params) override;
    // Names the program that is missing (xdg-open, or the mixers looked for)
    // or the one that could not be started.
    std::string LastFailure() const override { return m_strLastFailure; }

    // The command line a request would run (first item: the full path of the
    // program), or empty when nothing on the search path can serve it.
    std::vector<std::string> CommandFor(const std::string& verb, const std::string& file,
                                        const std::string& params) const;
    // Full path of an executable program on the search path, or empty.
    std::string FindProgram(const std::string& name) const;

    // Starts argv detached from this process; false if it could not be started.
    static bool SpawnDetached(const std::vector<std::string>& argv);

private:
    std::string m_strPath;
    std::string m_strLastFailure;
};
