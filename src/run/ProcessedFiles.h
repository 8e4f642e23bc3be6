#pragma once

#include "FileSystem.h"

#include <string>
#include <unordered_set>

namespace quillora::run {

/// The files handled so far in one run, keyed on the file's identity, so that two spellings of one file
/// (a link, "..", doubled separators, letter case on a file system that ignores it) count once. A path that
/// names no file yet is keyed on its text.
class ProcessedFiles {
public:
    explicit ProcessedFiles(FileSystem& fileSystem);

    /// Adds the file at path; false when it was handled before.
    bool add(const std::string& path);
    /// Marks a file written in this run as handled (a file replaced in place gets a new identity).
    void addWritten(const FileIdentity& identity);
    void clear();

private:
    FileSystem& m_fs;
    std::unordered_set<FileIdentity, FileIdentityHash> m_identities;
    std::unordered_set<std::string> m_paths;
};

} // namespace quillora::run
