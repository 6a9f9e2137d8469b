#include "platform/DesktopShell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

CDesktopShell::CDesktopShell(std::string strPath) : m_strPath(std::move(strPath))
{
    if (m_strPath.empty()) {
        const char* env = std::getenv("PATH");
        m_strPath = env ? env : "/usr/local/bin:/usr/bin:/bin";
    }
}

std::string CDesktopShell::FindProgram(const std::string& name) const
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : std::string();
    size_t start = 0;
    while (start <= m_strPath.size()) {
        size_t end = m_strPath.find(':', start);
        if (end == std::string::npos)
            end = m_strPath.size();
        // An empty entry is the current directory.
        std::string full = end > start ? m_strPath.substr(start, end - start) : std::string(1, '.');
        full += '/';
        full += name;
        struct stat st
        {};
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
            return full;
        start = end + 1;
    }
    return {};
}

std::vector<std::string> CDesktopShell::CommandFor(const std::string& verb, const std::string& file,
                                                   const std::string& params) const
{
    // The parameters of the Windows volume control (-R -Dn for the recording
    // mixer of card n, /r for the default recording mixer) have no
    // counterpart here: every mixer below opens on the input devices and the
    // user picks the card there. They are accepted and not passed on.
    (void)params;
    if (file == "sndvol32") {
        if (std::string p = FindProgram("pavucontrol"); !p.empty())
            return {p, "--tab=4"};
        if (std::string p = FindProgram("gnome-control-center"); !p.empty())
            return {p, "sound"};
        std::string term = FindProgram("x-terminal-emulator");
        std::string mixer = FindProgram("alsamixer");
        if (!term.empty() && !mixer.empty())
            return {term, "-e", mixer};
        return {};
    }
    if ((verb.empty() || verb == "open") && !file.empty()) {
        if (std::string p = FindProgram("xdg-open"); !p.empty())
            return {p, file};
    }
    return {};
}

bool CDesktopShell::ShellExecute(const std::string& verb, const std::string& file, const std::string& params)
{
    m_strLastFailure.clear();
    std::vector<std::string> argv = CommandFor(verb, file, params);
    if (argv.empty()) {
        if (file == "sndvol32")
            m_strLastFailure =
                "No audio mixer program was found. Install pavucontrol (or "
                "gnome-control-center, or alsamixer and a terminal emulator).";
        else if ((verb.empty() || verb == "open") && !file.empty())
            m_strLastFailure = "Nothing can open " + file +
                               "\nThe program xdg-open was not found; it comes with the "
                               "xdg-utils package.";
        else
            m_strLastFailure = "Nothing can " + (verb.empty() ? std::string("open") : verb) + " " +
                               (file.empty() ? std::string("an empty name") : file) + ".";
        return false;
    }
    if (!SpawnDetached(argv)) {
        m_strLastFailure = "The program " + argv[0] + " could not be started.";
        return false;
    }
    return true;
}

bool CDesktopShell::SpawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    // A short-lived shell starts the program in the background and exits at
    // once; waiting for the shell reaps it, and the program, now a child of
    // init, is reaped there. The arguments travel as positional parameters,
    // never through the shell's parser.
    std::vector<std::string> args = {"/bin/sh", "-c", "\"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> cargs;
    for (std::string& a : args)
        cargs.push_back(a.data());
    cargs.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, cargs.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        // Reaped already by someone ignoring SIGCHLD: it was started.
        if (errno == ECHILD)
            return true;
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
