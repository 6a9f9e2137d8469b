#include "platform/SettingsPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

// An XDG variable counts only when it holds an absolute path.
std::string XdgDirectory(const char* variable, const char* fallbackUnderHome)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    return WithTrailingSlash(HomeDirectory()) + fallbackUnderHome;
}

}  // namespace

std::string HomeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] != '\0')
        return pw->pw_dir;
    return "/";
}

std::string WithTrailingSlash(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + '/';
}

std::string DefaultSettingsPath()
{
    return WithTrailingSlash(XdgDirectory("XDG_CONFIG_HOME", ".config")) + "halvex3/settings.reg";
}

std::string DefaultLogDirectory()
{
    return WithTrailingSlash(XdgDirectory("XDG_DATA_HOME", ".local/share")) + "halvex3/Log files/";
}

std::string ExecutableDirectory()
{
    std::vector<char> buf(4096);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return "./";
    std::string path(buf.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return path.substr(0, slash + 1);
}

bool MakeDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}
