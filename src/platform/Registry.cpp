#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/SettingsPaths.h"

namespace reg {

namespace {

constexpr const char* kHeader = "REGEDIT4";
// regedit wraps byte lists so that no line passes 80 columns.
constexpr size_t kWrapColumn = 77;

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string TrimLeft(const std::string& s)
{
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s)
{
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::string StripTrailingBackslashes(std::string s)
{
    while (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

const char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, uint8_t b)
{
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 15];
}

// A quoted string with \\ and \" escapes starting at text[pos] == '"'. On
// success pos is past the closing quote.
bool ReadQuoted(const std::string& text, size_t& pos, std::string& out)
{
    if (pos >= text.size() || text[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (pos >= text.size())
                return false;
            c = text[pos++];
        }
        out += c;
    }
    return false;
}

void AppendQuoted(std::string& out, const std::string& s)
{
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// "00,ff, 1a" -> bytes. A trailing comma is allowed; an empty list is none.
bool ParseHexList(const std::string& list, std::vector<uint8_t>& out)
{
    out.clear();
    std::string body = TrimRight(TrimLeft(list));
    if (body.empty())
        return true;
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t comma = body.find(',', pos);
        std::string token = TrimRight(TrimLeft(
            body.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos)));
        bool bLast = comma == std::string::npos;
        if (token.empty()) {
            // Only a trailing comma may leave an empty token.
            if (!bLast || out.empty())
                return false;
            return true;
        }
        if (token.size() > 2)
            return false;
        int value = 0;
        for (char c : token) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            value = value * 16 + d;
        }
        out.push_back(static_cast<uint8_t>(value));
        if (bLast)
            return true;
        pos = comma + 1;
    }
    return true;
}

// The value part after '='. Returns false when it is none of the known forms.
bool ParseValueData(const std::string& text, RegValue& value)
{
    std::string v = TrimRight(text);
    if (!v.empty() && v[0] == '"') {
        size_t pos = 0;
        std::string s;
        if (!ReadQuoted(v, pos, s) || pos != v.size())
            return false;
        value.nType = REG_SZ;
        value.data.assign(s.begin(), s.end());
        value.data.push_back(0);
        return true;
    }
    if (v.compare(0, 6, "dword:") == 0) {
        std::string digits = v.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t n = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            n = n * 16u + static_cast<uint32_t>(d);
        }
        value.nType = REG_DWORD;
        value.data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                      static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
        return true;
    }
    if (v.compare(0, 4, "hex:") == 0) {
        value.nType = REG_BINARY;
        return ParseHexList(v.substr(4), value.data);
    }
    if (v.compare(0, 4, "hex(") == 0) {
        size_t close = v.find("):", 4);
        if (close == std::string::npos || close == 4 || close - 4 > 8)
            return false;
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            int d = HexDigit(v[i]);
            if (d < 0)
                return false;
            type = type * 16u + static_cast<uint32_t>(d);
        }
        value.nType = type;
        return ParseHexList(v.substr(close + 2), value.data);
    }
    return false;
}

// A string value that a quoted string carries back unchanged.
bool FitsQuotedString(const RegValue& value)
{
    if (value.nType != REG_SZ || value.data.empty() || value.data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
        uint8_t b = value.data[i];
        if (b == 0 || b == '\n' || b == '\r')
            return false;
    }
    return true;
}

void AppendValue(std::string& out, const RegValue& value)
{
    std::string line;
    if (value.strName.empty())
        line = "@";
    else
        AppendQuoted(line, value.strName);
    line += '=';

    if (FitsQuotedString(value)) {
        AppendQuoted(line, std::string(value.data.begin(), value.data.end() - 1));
        out += line;
        out += '\n';
        return;
    }
    if (value.nType == REG_DWORD && value.data.size() == 4) {
        uint32_t n = static_cast<uint32_t>(value.data[0]) |
                     (static_cast<uint32_t>(value.data[1]) << 8) |
                     (static_cast<uint32_t>(value.data[2]) << 16) |
                     (static_cast<uint32_t>(value.data[3]) << 24);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += line;
        out += buf;
        out += '\n';
        return;
    }
    if (value.nType == REG_BINARY) {
        line += "hex:";
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", value.nType);
        line += buf;
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
        bool bLast = i + 1 == value.data.size();
        size_t pieceLength = bLast ? 2 : 3;
        if (line.size() + pieceLength > kWrapColumn && line.back() == ',') {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        AppendHexByte(line, value.data[i]);
        if (!bLast)
            line += ',';
    }
    out += line;
    out += '\n';
}

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

void Report(const std::string& strPath, const std::string& what)
{
    std::fprintf(stderr, "halvex3: settings file %s: %s\n", strPath.c_str(), what.c_str());
}

}  // namespace

std::string CurrentUserKeyPath(const std::string& strSubKey)
{
    std::string sub = strSubKey;
    while (!sub.empty() && sub.front() == '\\')
        sub.erase(sub.begin());
    return StripTrailingBackslashes("HKEY_CURRENT_USER\\" + sub);
}

// --- CRegFile ----------------------------------------------------------------

CRegFile::LoadResult CRegFile::Load(const std::string& strPath, std::string* pError)
{
    m_sections.clear();
    int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return LoadResult::Missing;
        if (pError)
            *pError = std::strerror(errno);
        return LoadResult::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (pError)
            *pError = "not a regular file";
        return LoadResult::Unreadable;
    }
    if (static_cast<uintmax_t>(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        if (pError)
            *pError = "too large for a settings file";
        return LoadResult::Corrupt;
    }
    std::string text;
    text.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            if (pError)
                *pError = std::strerror(err);
            return LoadResult::Unreadable;
        }
        if (n == 0)
            break;
        text.append(buf, static_cast<size_t>(n));
        if (text.size() > kMaxFileBytes) {
            ::close(fd);
            if (pError)
                *pError = "too large for a settings file";
            return LoadResult::Corrupt;
        }
    }
    ::close(fd);
    if (text.empty())
        return LoadResult::Loaded;
    return Parse(text, pError) ? LoadResult::Loaded : LoadResult::Corrupt;
}

bool CRegFile::Parse(const std::string& text, std::string* pError)
{
    m_sections.clear();
    auto fail = [&](size_t lineNo, const char* why) {
        m_sections.clear();
        if (pError)
            *pError = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    if (text.find('\0') != std::string::npos)
        return fail(1, "binary data");

    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }

    bool bHeader = false;
    RegSection* pSection = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t lineNo = i + 1;
        std::string line = TrimRight(TrimLeft(lines[i]));
        if (line.empty() || line[0] == ';')
            continue;
        if (!bHeader) {
            if (line != kHeader)
                return fail(lineNo, "no REGEDIT4 header");
            bHeader = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3)
                return fail(lineNo, "bad key line");
            std::string key = StripTrailingBackslashes(line.substr(1, line.size() - 2));
            if (key.empty() || key[0] == '-')
                return fail(lineNo, "bad key name");
            pSection = FindSection(key);
            if (!pSection)
                pSection = &AddSection(key);
            continue;
        }
        if (line[0] != '"' && line[0] != '@')
            return fail(lineNo, "not a key or value");
        if (!pSection)
            return fail(lineNo, "value outside a key");

        RegValue value;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, value.strName)) {
            return fail(lineNo, "bad value name");
        }
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return fail(lineNo, "missing '='");
        ++pos;
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        std::string data = line.substr(pos);
        if (data.compare(0, 3, "hex") == 0) {
            // Byte lists continue over lines that end in a backslash.
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                std::string next = ++i < lines.size() ? TrimRight(TrimLeft(lines[i])) : "";
                if (next.empty())
                    return fail(lineNo, "byte list cut short");
                data += next;
            }
        }
        if (!ParseValueData(data, value))
            return fail(lineNo, "bad value data");

        bool bReplaced = false;
        for (RegValue& existing : pSection->values) {
            if (EqualNoCase(existing.strName, value.strName)) {
                existing = std::move(value);
                bReplaced = true;
                break;
            }
        }
        if (!bReplaced)
            pSection->values.push_back(std::move(value));
    }
    if (!bHeader)
        return fail(1, "no REGEDIT4 header");
    return true;
}

std::string CRegFile::Format() const
{
    std::string out = kHeader;
    out += "\n\n";
    for (const RegSection& section : m_sections) {
        out += '[';
        out += section.strKey;
        out += "]\n";
        for (const RegValue& value : section.values)
            AppendValue(out, value);
        out += '\n';
    }
    return out;
}

RegSection* CRegFile::FindSection(const std::string& strKey)
{
    std::string key = StripTrailingBackslashes(strKey);
    for (RegSection& section : m_sections)
        if (EqualNoCase(section.strKey, key))
            return &section;
    return nullptr;
}

const RegSection* CRegFile::FindSection(const std::string& strKey) const
{
    return const_cast<CRegFile*>(this)->FindSection(strKey);
}

RegSection& CRegFile::AddSection(const std::string& strKey)
{
    m_sections.push_back(RegSection{StripTrailingBackslashes(strKey), {}});
    return m_sections.back();
}

// --- Writing -----------------------------------------------------------------

bool WriteFileAtomically(const std::string& strPath, const std::string& text,
                         const std::string& strBackupPath, std::string* pError)
{
    auto fail = [&](const std::string& what) {
        if (pError)
            *pError = what + ": " + std::strerror(errno);
        return false;
    };
    std::string dir = DirectoryOf(strPath);
    if (!MakeDirectories(dir))
        return fail("cannot create " + dir);

    std::string temp = strPath + ".tmp-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        return fail("cannot create a temporary file");
    temp.assign(name.data());

    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = err;
            return fail("cannot write");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return fail("cannot write");
    }
    if (!strBackupPath.empty() && ::rename(strPath.c_str(), strBackupPath.c_str()) != 0 &&
        errno != ENOENT) {
        int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return fail("cannot keep the old file as " + strBackupPath);
    }
    if (::rename(temp.c_str(), strPath.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return fail("cannot replace");
    }
    return true;
}

// --- CRegKey -----------------------------------------------------------------

CRegKey::~CRegKey()
{
    Close();
}

LSTATUS CRegKey::Load(const std::string& strFile, bool bForWriting)
{
    Close();
    m_strPath = strFile;
    m_bReadOnly = !bForWriting;
    m_bDirty = false;
    m_bReplaceCorrupt = false;
    std::string error;
    switch (m_file.Load(strFile, &error)) {
    case CRegFile::LoadResult::Loaded:
    case CRegFile::LoadResult::Missing:
        break;
    case CRegFile::LoadResult::Unreadable:
        Report(strFile, error + (bForWriting ? "; settings are not saved" : ""));
        return ERROR_ACCESS_DENIED;
    case CRegFile::LoadResult::Corrupt:
        Report(strFile, "not a settings file (" + error + "); using the defaults" +
                            (bForWriting ? ", keeping it as " + strFile + ".bad" : ""));
        m_bReplaceCorrupt = true;
        break;
    }
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::CreateKey(const std::string& strFile, const std::string& strSubKey,
                           uint32_t* pDisposition)
{
    LSTATUS status = Load(strFile, true);
    if (status != ERROR_SUCCESS)
        return status;
    m_strKey = CurrentUserKeyPath(strSubKey);
    if (m_file.FindSection(m_strKey)) {
        if (pDisposition)
            *pDisposition = REG_OPENED_EXISTING_KEY;
    } else {
        m_file.AddSection(m_strKey);
        m_bDirty = true;
        if (pDisposition)
            *pDisposition = REG_CREATED_NEW_KEY;
    }
    m_bOpen = true;
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::OpenKey(const std::string& strFile, const std::string& strSubKey)
{
    LSTATUS status = Load(strFile, false);
    if (status != ERROR_SUCCESS)
        return status;
    m_strKey = CurrentUserKeyPath(strSubKey);
    if (!m_file.FindSection(m_strKey))
        return ERROR_FILE_NOT_FOUND;
    m_bOpen = true;
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::QueryValue(const std::string& strName, uint32_t* pType, uint8_t* pData,
                            uint32_t* pcbData) const
{
    if (!m_bOpen)
        return ERROR_INVALID_HANDLE;
    if (pData && !pcbData)
        return ERROR_INVALID_PARAMETER;
    const RegSection* pSection = m_file.FindSection(m_strKey);
    if (!pSection)
        return ERROR_FILE_NOT_FOUND;
    for (const RegValue& value : pSection->values) {
        if (!EqualNoCase(value.strName, strName))
            continue;
        if (pType)
            *pType = value.nType;
        if (value.data.size() > UINT32_MAX)
            return ERROR_MORE_DATA;
        uint32_t size = static_cast<uint32_t>(value.data.size());
        if (pData) {
            if (*pcbData < size) {
                *pcbData = size;
                return ERROR_MORE_DATA;
            }
            if (size > 0)
                std::memcpy(pData, value.data.data(), size);
        }
        if (pcbData)
            *pcbData = size;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS CRegKey::SetValue(const std::string& strName, uint32_t nType, const void* pData,
                          uint32_t cbData)
{
    if (!m_bOpen || m_bReadOnly)
        return ERROR_INVALID_HANDLE;
    if (!pData && cbData > 0)
        return ERROR_INVALID_PARAMETER;
    RegSection* pSection = m_file.FindSection(m_strKey);
    if (!pSection)
        pSection = &m_file.AddSection(m_strKey);
    RegValue value;
    value.strName = strName;
    value.nType = nType;
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    if (cbData > 0)
        value.data.assign(p, p + cbData);
    bool bReplaced = false;
    for (RegValue& existing : pSection->values) {
        if (EqualNoCase(existing.strName, strName)) {
            existing = std::move(value);
            bReplaced = true;
            break;
        }
    }
    if (!bReplaced)
        pSection->values.push_back(std::move(value));
    m_bDirty = true;
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::Close()
{
    if (!m_bOpen)
        return ERROR_SUCCESS;
    m_bOpen = false;
    LSTATUS status = ERROR_SUCCESS;
    if (m_bDirty && !m_bReadOnly) {
        std::string error;
        std::string backup = m_bReplaceCorrupt ? m_strPath + ".bad" : std::string();
        if (WriteFileAtomically(m_strPath, m_file.Format(), backup, &error)) {
            m_bReplaceCorrupt = false;
        } else {
            Report(m_strPath, error + "; settings are not saved");
            status = ERROR_WRITE_FAULT;
        }
    }
    m_bDirty = false;
    m_file.m_sections.clear();
    return status;
}

}  // namespace reg
