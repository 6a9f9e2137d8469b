#include "platform/RegText.h"

#include <charconv>
#include <cstdio>

namespace reg {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
// regedit wraps byte lists so that no line passes 80 columns.
constexpr size_t kWrapColumn = 77;

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// 1 to maxDigits hex digits and nothing else (no sign, no prefix).
template <class T>
bool ParseHex(std::string_view digits, size_t maxDigits, T& out)
{
    if (digits.empty() || digits.size() > maxDigits)
        return false;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, out, 16);
    return ec == std::errc() && ptr == end;
}

// A quoted string with \\ and \" escapes starting at text[pos] == '"'. On
// success pos is past the closing quote.
bool ReadQuoted(std::string_view text, size_t& pos, std::string& out)
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

void AppendQuoted(std::string& out, std::string_view s)
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
bool ParseHexList(std::string_view list, std::vector<uint8_t>& out)
{
    out.clear();
    std::string_view body = Trim(list);
    while (!body.empty()) {
        const size_t comma = body.find(',');
        const std::string_view token = Trim(body.substr(0, comma));
        const bool bLast = comma == std::string_view::npos;
        if (token.empty())
            return bLast && !out.empty();  // only a trailing comma leaves an empty token
        uint8_t b = 0;
        if (!ParseHex(token, 2, b))
            return false;
        out.push_back(b);
        if (bLast)
            return true;
        body.remove_prefix(comma + 1);
        if (Trim(body).empty())
            return true;  // the trailing comma
    }
    return true;
}

// The value part after '='. Returns false when it is none of the known forms.
bool ParseValueData(std::string_view v, RegValue& value)
{
    v = Trim(v);
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
    if (v.substr(0, 6) == "dword:") {
        uint32_t n = 0;
        if (!ParseHex(v.substr(6), 8, n))
            return false;
        value.nType = REG_DWORD;
        value.data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                      static_cast<uint8_t>(n >> 24)};
        return true;
    }
    if (v.substr(0, 4) == "hex:") {
        value.nType = REG_BINARY;
        return ParseHexList(v.substr(4), value.data);
    }
    if (v.substr(0, 4) == "hex(") {
        const size_t close = v.find("):", 4);
        if (close == std::string_view::npos || !ParseHex(v.substr(4, close - 4), 8, value.nType))
            return false;
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
        const uint8_t b = value.data[i];
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
        AppendQuoted(
            line, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
        out += line;
        out += '\n';
        return;
    }
    char buf[24];
    if (value.nType == REG_DWORD && value.data.size() == 4) {
        const uint32_t n =
            static_cast<uint32_t>(value.data[0]) | (static_cast<uint32_t>(value.data[1]) << 8) |
            (static_cast<uint32_t>(value.data[2]) << 16) | (static_cast<uint32_t>(value.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += line;
        out += buf;
        out += '\n';
        return;
    }
    if (value.nType == REG_BINARY) {
        line += "hex:";
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", value.nType);
        line += buf;
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
        const bool bLast = i + 1 == value.data.size();
        const size_t pieceLength = bLast ? 2 : 3;
        if (line.size() + pieceLength > kWrapColumn && line.back() == ',') {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        std::snprintf(buf, sizeof buf, "%02x", value.data[i]);
        line += buf;
        if (!bLast)
            line += ',';
    }
    out += line;
    out += '\n';
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (;;) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::string NormalKeyPath(std::string strKey)
{
    while (!strKey.empty() && strKey.back() == '\\')
        strKey.pop_back();
    return strKey;
}

std::string CurrentUserKeyPath(const std::string& strSubKey)
{
    const size_t first = strSubKey.find_first_not_of('\\');
    return NormalKeyPath("HKEY_CURRENT_USER\\" +
                         (first == std::string::npos ? std::string() : strSubKey.substr(first)));
}

RegSection* FindRegSection(std::vector<RegSection>& sections, const std::string& strKey)
{
    const std::string key = NormalKeyPath(strKey);
    for (RegSection& section : sections)
        if (EqualNoCase(section.strKey, key))
            return &section;
    return nullptr;
}

void SetRegValue(RegSection& section, RegValue value)
{
    for (RegValue& existing : section.values) {
        if (EqualNoCase(existing.strName, value.strName)) {
            existing = std::move(value);
            return;
        }
    }
    section.values.push_back(std::move(value));
}

bool LacksRegHeader(std::string_view text, bool bComplete)
{
    const std::vector<std::string_view> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        // The last line of a start may be cut anywhere: it proves nothing.
        if (!bComplete && i + 1 == lines.size())
            return false;
        const std::string_view line = Trim(lines[i]);
        if (line.empty() || line[0] == ';')
            continue;
        return line != kHeader;
    }
    return false;
}

bool ParseRegText(const std::string& text, std::vector<RegSection>& sections, std::string* pError)
{
    sections.clear();
    auto fail = [&](size_t lineNo, const char* why) {
        sections.clear();
        if (pError)
            *pError = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    if (text.find('\0') != std::string::npos)
        return fail(1, "binary data");

    const std::vector<std::string_view> lines = SplitLines(text);
    bool bHeader = false;
    RegSection* pSection = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNo = i + 1;
        const std::string_view line = Trim(lines[i]);
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
            const std::string key = NormalKeyPath(std::string(line.substr(1, line.size() - 2)));
            if (key.empty() || key[0] == '-')
                return fail(lineNo, "bad key name");
            pSection = FindRegSection(sections, key);
            if (!pSection) {
                sections.push_back(RegSection{key, {}});
                pSection = &sections.back();
            }
            continue;
        }
        if (line[0] != '"' && line[0] != '@')
            return fail(lineNo, "not a key or value");
        if (!pSection)
            return fail(lineNo, "value outside a key");

        RegValue value;
        size_t pos = 0;
        if (line[0] == '@')
            pos = 1;
        else if (!ReadQuoted(line, pos, value.strName))
            return fail(lineNo, "bad value name");
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return fail(lineNo, "missing '='");
        std::string data(Trim(line.substr(pos + 1)));
        if (data.compare(0, 3, "hex") == 0) {
            // Byte lists continue over lines that end in a backslash.
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                const std::string_view next = ++i < lines.size() ? Trim(lines[i]) : std::string_view();
                if (next.empty())
                    return fail(lineNo, "byte list cut short");
                data += next;
            }
        }
        if (!ParseValueData(data, value))
            return fail(lineNo, "bad value data");
        SetRegValue(*pSection, std::move(value));
    }
    if (!bHeader)
        return fail(1, "no REGEDIT4 header");
    return true;
}

std::string FormatRegText(const std::vector<RegSection>& sections)
{
    std::string out(kHeader);
    out += "\n\n";
    for (const RegSection& section : sections) {
        out += '[';
        out += section.strKey;
        out += "]\n";
        for (const RegValue& value : section.values)
            AppendValue(out, value);
        out += '\n';
    }
    return out;
}

}  // namespace reg
