#pragma once
// Whole-file text input and output, each step all or nothing: a file read
// whole (or refused), a file replaced whole through a temporary file and a
// rename, a text appended whole or not at all. Failures come back with a
// one-line reason; nothing is printed here.
#include <cstdint>
#include <string>

enum class FileRead
{
    Read,        // text holds the file
    Missing,     // no such file (or a missing folder on the way)
    Unreadable,  // there, but not a regular file or not readable
    TooLarge     // larger than the limit the caller gave
};

// Reads the whole regular file at strPath, never more than nMaxBytes. Named
// pipes and devices are refused without waiting on them.
FileRead ReadWholeFile(const std::string& strPath, uintmax_t nMaxBytes, std::string& text,
                       std::string& strError);
// Writes text to strPath through a temporary file in the same folder, synced,
// and a rename; missing parent folders are made. When strBackupPath is not
// empty, the file being replaced is first renamed to it.
bool ReplaceFileAtomically(const std::string& strPath, const std::string& text,
                           const std::string& strBackupPath, std::string& strError);
// Appends the whole text or nothing: a text the disk takes only in part is cut
// off again, so the next one does not join a fragment of it.
bool AppendWholeText(const std::string& strPath, const std::string& text);
// strPath + ".bad", or ".bad.1", ".bad.2", ... : the first name not yet taken,
// so that a file kept aside never replaces one kept earlier.
std::string UnusedBackupPath(const std::string& strPath);
