#pragma once
// Where the program finds the files it ships with: beside the executable
// first (a build tree, or an unpacked copy), then the installed data
// directory.
#include <string>

// The path of a shipped file (relative name such as "globe.dat"); when it is
// in neither place, the path beside the executable, so that the failure
// names the first place looked at.
std::string FindDataFile(const std::string& strName);
std::string FindDataFile(const std::string& strName, const std::string& strExeDir,
                         const std::string& strDataDir);
// Empty when the shipped file is found; otherwise a line for standard error
// that names both places looked at.
std::string MissingDataFileReport(const std::string& strName);
std::string MissingDataFileReport(const std::string& strName, const std::string& strExeDir,
                                  const std::string& strDataDir);
// The start page of the manual.
std::string HelpFilePath();
