#include "support/TestFiles.h"

#include <stdlib.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

CTempDir::CTempDir(const std::string& strTag)
{
    const std::string templ = (fs::temp_directory_path() / ("halvex-" + strTag + "-XXXXXX")).string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder from " + templ);
    m_path = buf.data();
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ReadFileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFileText(const fs::path& path, const std::string& text)
{
    std::error_code error;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

bool WriteU8Wav(const fs::path& path, const std::vector<uint8_t>& samples, int nRate)
{
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return false;
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [&](uint16_t v) {
        out.put(static_cast<char>(v & 0xFF));
        out.put(static_cast<char>(v >> 8));
    };
    const uint32_t n = static_cast<uint32_t>(samples.size());
    out.write("RIFF", 4);
    le32(36 + n);
    out.write("WAVEfmt ", 8);
    le32(16);
    le16(1);                             // PCM
    le16(1);                             // mono
    le32(static_cast<uint32_t>(nRate));  // samples per second
    le32(static_cast<uint32_t>(nRate));  // bytes per second
    le16(1);                             // block alignment
    le16(8);                             // bits per sample
    out.write("data", 4);
    le32(n);
    out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(n));
    return static_cast<bool>(out);
}

CFileSizeLimit::CFileSizeLimit(rlim_t bytes)
{
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit lim = m_old;
    lim.rlim_cur = bytes;
    m_bActive = ::setrlimit(RLIMIT_FSIZE, &lim) == 0;
}

CFileSizeLimit::~CFileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}
