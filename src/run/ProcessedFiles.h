#pragma once

#include "disk/FileSystem.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillora::run {

/// The pages handled so far in one run. Two spellings of one name (a link to the file, "..", doubled separators)
/// count once; a second name of the same file (a hard link) is a page of its own, since replacing the first name
/// leaves the second serving the old file. A path that names no file yet is keyed on its text.
class ProcessedFiles {
public:
    explicit ProcessedFiles(disk::FileSystem& fileSystem);

    /// Adds the page at path; false when it was handled before.
    bool add(const std::string& path);
    /// The same, for a page whose identity is known already.
    bool add(const std::string& path, const disk::FileIdentity& identity);
    /// Marks a file written in this run at path as handled (a file replaced in place gets a new identity).
    void addWritten(const disk::FileIdentity& identity, const std::string& path);
    void clear();

private:
    std::string canonical(const std::string& path);

    disk::FileSystem& m_fs;
    // The names each file was met under, resolved only once a second name for the same file turns up.
    std::unordered_map<disk::FileIdentity, std::vector<std::string>, disk::FileIdentityHash> m_names;
    std::unordered_map<disk::FileIdentity, bool, disk::FileIdentityHash> m_resolved;
    std::unordered_set<std::string> m_paths;
};

} // namespace quillora::run
