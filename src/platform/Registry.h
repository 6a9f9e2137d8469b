#pragma once
// The settings store: a small registry over one text file in the REGEDIT4
// format (platform/RegText.h), so the values keep the names, types and byte
// images they have on the program's home platform, and the file can be read
// and edited by hand. Keys and values the program does not know are kept, in
// their order, when the file is written back.
//
// The file is read when a key is opened and written, whole and atomically
// (platform/FileText.h), when a changed key is closed. A file that cannot be
// parsed counts as empty; it is kept beside itself as FILE.bad (FILE.bad.1,
// ... when that is taken) before it is replaced. Nothing is printed and
// nothing is thrown: what went wrong with the file is left in Notice() for
// the caller to tell the user.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/RegText.h"

namespace reg {

using LSTATUS = long;
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_WRITE_FAULT = 29;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;

// Dispositions reported by CreateKey.
constexpr uint32_t REG_CREATED_NEW_KEY = 1;
constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// Files larger than this are not settings files.
constexpr uintmax_t kMaxFileBytes = 16u * 1024u * 1024u;

// The whole file, parsed.
class CRegFile
{
public:
    enum class LoadResult
    {
        Loaded,      // parsed (an empty file counts as no keys)
        Missing,     // no file yet
        Unreadable,  // exists but cannot be read (permissions, a directory, ...)
        Corrupt      // read but not a settings file; m_sections is empty
    };

    // pError receives a one-line reason for Unreadable and Corrupt.
    LoadResult Load(const std::string& strPath, std::string* pError);
    // False (and m_sections empty) when the text is not a REGEDIT4 file.
    bool Parse(const std::string& text, std::string* pError)
    {
        return ParseRegText(text, m_sections, pError);
    }
    std::string Format() const { return FormatRegText(m_sections); }

    RegSection* FindSection(const std::string& strKey) { return FindRegSection(m_sections, strKey); }
    const RegSection* FindSection(const std::string& strKey) const
    {
        return const_cast<CRegFile*>(this)->FindSection(strKey);
    }
    RegSection& AddSection(const std::string& strKey);

    std::vector<RegSection> m_sections;
};

// An existing file named by the user that is plainly something else (its
// first line that counts is not the REGEDIT4 header): true, with a one-line
// reason. Such a file is refused rather than kept aside and replaced. A file
// that is missing, empty, unreadable or a damaged settings file is not.
bool IsOtherThanSettingsFile(const std::string& strPath, std::string& strWhy);

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
    LSTATUS CreateKey(const std::string& strFile, const std::string& strSubKey, uint32_t* pDisposition);
    // Open an existing key for reading only; nothing is ever written.
    LSTATUS OpenKey(const std::string& strFile, const std::string& strSubKey);
    // pcbData holds the buffer size and receives the value's size. With pData
    // null only the type and size are returned; a value larger than the
    // buffer gives ERROR_MORE_DATA and copies nothing.
    LSTATUS QueryValue(const std::string& strName, uint32_t* pType, uint8_t* pData, uint32_t* pcbData) const;
    LSTATUS SetValue(const std::string& strName, uint32_t nType, const void* pData, uint32_t cbData);
    // Writes the file when the key was created or changed.
    LSTATUS Close();

    bool IsOpen() const { return m_bOpen; }
    // What went wrong with the file since the key was opened, one sentence a
    // problem ("settings file F: ..."), empty when nothing did.
    const std::string& Notice() const { return m_strNotice; }

private:
    LSTATUS Load(const std::string& strFile, bool bForWriting);
    void AddNotice(const std::string& what);

    CRegFile m_file;
    std::string m_strPath;
    std::string m_strKey;
    std::string m_strNotice;
    std::string m_strCorrupt;  // why the file read is not a settings file
    bool m_bOpen = false;
    bool m_bReadOnly = false;
    bool m_bDirty = false;
    bool m_bReplaceCorrupt = false;
};

}  // namespace reg
