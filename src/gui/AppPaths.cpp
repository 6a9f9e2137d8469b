#include "gui/AppPaths.h"

#include <sys/stat.h>

#include "HalvexVersion.h"
#include "platform/SettingsPaths.h"

namespace {

bool IsRegularFile(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string FindDataFile(const std::string& strName, const std::string& strExeDir,
                         const std::string& strDataDir)
{
    std::string beside = WithTrailingSlash(strExeDir) + strName;
    if (IsRegularFile(beside))
        return beside;
    std::string installed = WithTrailingSlash(strDataDir) + strName;
    if (IsRegularFile(installed))
        return installed;
    return beside;
}

std::string FindDataFile(const std::string& strName)
{
    return FindDataFile(strName, ExecutableDirectory(), HALVEX_DATADIR);
}

std::string MissingDataFileReport(const std::string& strName, const std::string& strExeDir,
                                  const std::string& strDataDir)
{
    const std::string beside = WithTrailingSlash(strExeDir) + strName;
    const std::string installed = WithTrailingSlash(strDataDir) + strName;
    if (IsRegularFile(beside) || IsRegularFile(installed))
        return {};
    return "halvex3: " + strName + " not found; looked for " + beside + " and " + installed;
}

std::string MissingDataFileReport(const std::string& strName)
{
    return MissingDataFileReport(strName, ExecutableDirectory(), HALVEX_DATADIR);
}

std::string HelpFilePath()
{
    return FindDataFile("manual/index.html");
}
