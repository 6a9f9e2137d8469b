#pragma once
// Files for tests: a private temporary folder, a whole file as a string, and
// a cap on the size of the files this process writes.
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder /tmp/halvex-<tag>-XXXXXX (under the system's temporary
// folder), removed with everything in it when the object goes; folders a test
// made read-only inside it are opened again first.
class CTempDir
{
public:
    explicit CTempDir(const std::string& strTag = "test");
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The path with a trailing slash, as the programs keep folder names.
    std::string Str() const { return m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};

// The lines of a text, without their line ends (a last line without one too).
std::vector<std::string> TextLines(const std::string& text);
// The file's bytes; empty when it cannot be read.
std::string ReadFileText(const std::filesystem::path& path);
// Replaces the file with the bytes (making missing folders); false when it
// cannot be written.
bool WriteFileText(const std::filesystem::path& path, const std::string& text);
// Writes unsigned 8-bit mono samples as a plain 44-byte-header WAV file.
bool WriteU8Wav(const std::filesystem::path& path, const std::vector<uint8_t>& samples, int nRate = 48000);

// Files written by this process may not grow past `bytes` while the object
// lives: a write beyond fails with EFBIG (SIGXFSZ is ignored meanwhile), as a
// full disk fails with ENOSPC, root or not.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t bytes);
    ~CFileSizeLimit();
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    bool Active() const { return m_bActive; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_bActive = false;
};
