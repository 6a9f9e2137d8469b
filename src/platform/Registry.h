#pragma once
// The settings store: a small registry over one text file in the REGEDIT4
// format, so the values keep the names, types and byte images they have on
// the program's home platform, and the file can be read and edited by hand:
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
// are accepted. Keys and values the program does not know are kept, in their
// order, when the file is written back. Names compare without regard to case,
// and a key path names the same key with or without a trailing backslash.
//
// The file is read when a key is opened and written, whole and atomically
// (temporary file + rename), when a changed key is closed. A file that cannot
// be parsed counts as empty; it is kept beside itself as FILE.bad before it is
// replaced. Problems are reported on standard error; nothing is thrown.
#include <cstdint>
#include <string>
#include <vector>

namespace reg {

using LSTATUS = long;
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_WRITE_FAULT = 29;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

// Dispositions reported by CreateKey.
constexpr uint32_t REG_CREATED_NEW_KEY = 1;
constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// Files larger than this are not settings files.
constexpr uintmax_t kMaxFileBytes = 16u * 1024u * 1024u;

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

// The whole file, parsed.
class CRegFile
{
public:
    enum class LoadResult {
        Loaded,      // parsed (an empty file counts as no keys)
        Missing,     // no file yet
        Unreadable,  // exists but cannot be read (permissions, a directory, ...)
        Corrupt      // read but not a settings file; m_sections is empty
    };

    // pError receives a one-line reason for Unreadable and Corrupt.
    LoadResult Load(const std::string& strPath, std::string* pError);
    // False (and m_sections empty) when the text is not a REGEDIT4 file.
    bool Parse(const std::string& text, std::string* pError);
    std::string Format() const;

    RegSection* FindSection(const std::string& strKey);
    const RegSection* FindSection(const std::string& strKey) const;
    RegSection& AddSection(const std::string& strKey);

    std::vector<RegSection> m_sections;
};

// Writes text to strPath through a temporary file in the same directory and a
// rename, creating missing parent directories. When strBackupPath is not
// empty, the file being replaced is first renamed to it.
bool WriteFileAtomically(const std::string& strPath, const std::string& text,
                         const std::string& strBackupPath, std::string* pError);

// One open key of HKEY_CURRENT_USER in a settings file. Closed (and, when
// changed, written) by Close or the destructor.
class CRegKey
{
public:
    CRegKey() = default;
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Create-or-open. pDisposition (may be null) tells whether the key existed.
    // Fails with ERROR_ACCESS_DENIED when the file exists but cannot be read,
    // so that a file the program could not read is never overwritten.
    LSTATUS CreateKey(const std::string& strFile, const std::string& strSubKey,
                      uint32_t* pDisposition);
    // Open an existing key for reading only; nothing is ever written.
    LSTATUS OpenKey(const std::string& strFile, const std::string& strSubKey);
    // pcbData holds the buffer size and receives the value's size. With pData
    // null only the type and size are returned; a value larger than the
    // buffer gives ERROR_MORE_DATA and copies nothing.
    LSTATUS QueryValue(const std::string& strName, uint32_t* pType, uint8_t* pData,
                       uint32_t* pcbData) const;
    LSTATUS SetValue(const std::string& strName, uint32_t nType, const void* pData,
                     uint32_t cbData);
    // Writes the file when the key was created or changed.
    LSTATUS Close();

    bool IsOpen() const { return m_bOpen; }

private:
    LSTATUS Load(const std::string& strFile, bool bForWriting);

    CRegFile m_file;
    std::string m_strPath;
    std::string m_strKey;
    bool m_bOpen = false;
    bool m_bReadOnly = false;
    bool m_bDirty = false;
    bool m_bReplaceCorrupt = false;
};

// The key path as stored: "HKEY_CURRENT_USER\" + subKey without trailing
// backslashes.
std::string CurrentUserKeyPath(const std::string& strSubKey);

}  // namespace reg
