#pragma once
// The REGEDIT4 text of the settings file, read and written in memory only:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\SOFTWARE\Norq\Halvex3]
//   "ViewMode"=dword:00000000
//   "Eqx"=hex(4):00,00,00,00,...,   (continued on the next line after a
//     00,00                          backslash, as regedit wraps them)
//   "LogDirectory"="/home/me/logs/"
//
// Values are `"name"=` (or `@=` for the unnamed value) followed by a quoted
// string (REG_SZ; `\\` and `\"` escaped), `dword:` and eight hex digits (a
// 4-byte REG_DWORD), `hex:` (REG_BINARY) or `hex(N):` (type N) byte lists,
// continued over lines ending in `\`. CRLF or LF, `;` comments and blank lines
// are accepted. Names compare without regard to case, and a key path names
// the same key with or without a trailing backslash.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reg {

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

struct RegValue
{
    std::string strName;  // empty: the unnamed value, written as @
    uint32_t nType = REG_NONE;
    std::vector<uint8_t> data;
};

struct RegSection
{
    std::string strKey;  // full path without a trailing backslash
    std::vector<RegValue> values;
};

// Keys and values in file order. False (and sections empty) when the text is
// not a REGEDIT4 file; pError (may be null) gets "line N: why".
bool ParseRegText(const std::string& text, std::vector<RegSection>& sections, std::string* pError);
// The text ParseRegText reads back to the same sections.
std::string FormatRegText(const std::vector<RegSection>& sections);
// True when text, the start of a file (or all of it with bComplete), already
// shows a first line that is neither blank nor a comment and is not the
// REGEDIT4 header: the file is something else, not a damaged settings file.
bool LacksRegHeader(std::string_view text, bool bComplete);

bool EqualNoCase(std::string_view a, std::string_view b);
// The key path as stored: without trailing backslashes.
std::string NormalKeyPath(std::string strKey);
// "HKEY_CURRENT_USER\" + subKey, without leading or trailing backslashes.
std::string CurrentUserKeyPath(const std::string& strSubKey);
// The section of that key, or null.
RegSection* FindRegSection(std::vector<RegSection>& sections, const std::string& strKey);
// Replaces the value of the same name (any case) or adds it at the end.
void SetRegValue(RegSection& section, RegValue value);

}  // namespace reg
