#pragma once
// Where the program keeps its per-user files, after the XDG base directory
// rules: settings under $XDG_CONFIG_HOME (~/.config), data such as the daily
// log files under $XDG_DATA_HOME (~/.local/share). Relative or empty XDG
// variables are ignored, as the rules ask.
#include <string>

// The user's home directory ($HOME, else the password database, else "/").
std::string HomeDirectory();
// "$XDG_CONFIG_HOME/halvex3/settings.reg".
std::string DefaultSettingsPath();
// "$XDG_DATA_HOME/halvex3/Log files/", ending in '/'.
std::string DefaultLogDirectory();
// Directory of the running executable, ending in '/' ("./" when unknown).
std::string ExecutableDirectory();
// path with a '/' appended when it does not already end in one.
std::string WithTrailingSlash(const std::string& path);
// Creates path and its missing parents; true when the directory exists.
bool MakeDirectories(const std::string& path);
