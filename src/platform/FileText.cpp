#include "platform/FileText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

bool WriteAll(int fd, const std::string& text)
{
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

FileRead ReadWholeFile(const std::string& strPath, uintmax_t nMaxBytes, std::string& text,
                       std::string& strError)
{
    text.clear();
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FileRead::Missing;
        strError = ErrnoText(errno);
        return FileRead::Unreadable;
    }
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        strError = "not a regular file";
        return FileRead::Unreadable;
    }
    if (static_cast<uintmax_t>(st.st_size) > nMaxBytes) {
        ::close(fd);
        strError = "too large";
        return FileRead::TooLarge;
    }
    text.reserve(static_cast<size_t>(st.st_size));
    std::vector<char> buf(65536);
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            strError = ErrnoText(errno);
            ::close(fd);
            text.clear();
            return FileRead::Unreadable;
        }
        if (n == 0)
            break;
        text.append(buf.data(), static_cast<size_t>(n));
        if (text.size() > nMaxBytes) {  // grew while being read
            ::close(fd);
            text.clear();
            strError = "too large";
            return FileRead::TooLarge;
        }
    }
    ::close(fd);
    return FileRead::Read;
}

bool ReplaceFileAtomically(const std::string& strPath, const std::string& text,
                           const std::string& strBackupPath, std::string& strError)
{
    const fs::path dir = fs::path(strPath).parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec) && !fs::create_directories(dir, ec)) {
        strError = "cannot create " + dir.string() + ": " + ec.message();
        return false;
    }

    std::string temp = strPath + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        strError = "cannot create a temporary file: " + ErrnoText(errno);
        return false;
    }
    auto fail = [&](const std::string& what, int err) {
        ::unlink(temp.c_str());
        strError = what + ": " + ErrnoText(err);
        return false;
    };
    if (!WriteAll(fd, text)) {
        const int err = errno;
        ::close(fd);
        return fail("cannot write", err);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        return fail("cannot write", errno);
    if (!strBackupPath.empty() && ::rename(strPath.c_str(), strBackupPath.c_str()) != 0 && errno != ENOENT)
        return fail("cannot keep the old file as " + strBackupPath, errno);
    if (::rename(temp.c_str(), strPath.c_str()) != 0)
        return fail("cannot replace", errno);
    return true;
}

bool AppendWholeText(const std::string& strPath, const std::string& text)
{
    const int fd = ::open(strPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct stat before
    {};
    bool ok = ::fstat(fd, &before) == 0;
    if (ok && !WriteAll(fd, text)) {
        ok = false;
        (void)!::ftruncate(fd, before.st_size);
    }
    return ::close(fd) == 0 && ok;
}

std::string UnusedBackupPath(const std::string& strPath)
{
    std::error_code ec;
    std::string candidate = strPath + ".bad";
    for (unsigned n = 1; n < 100000; ++n) {
        const fs::file_type type = fs::symlink_status(candidate, ec).type();
        if (type == fs::file_type::not_found || type == fs::file_type::none)
            break;  // free (or not to be told: the rename will say)
        candidate = strPath + ".bad." + std::to_string(n);
    }
    return candidate;
}
