#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::run {

/// The identity of a file on disk: two spellings of one file (links, "..", doubled separators) share it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const noexcept {
        return std::hash<std::uint64_t>()(id.inode * 1000003u ^ id.device);
    }
};

/// What the file system tells of one path. Links are followed; isSymlink tells that the path itself is one.
struct FileStatus {
    bool isFolder = false;
    bool isSymlink = false;
    bool writable = false;  // the permission bits let the current user write it (root included)
    std::uint32_t mode = 0; // permission bits
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    FileIdentity identity;
};

/// One name in a folder, links followed to tell folders from files (a dangling link counts as a file).
struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

/// A new file being written. Destroying it before close() discards the handle; the caller removes the file.
class OutputFile {
public:
    virtual ~OutputFile() = default;

    virtual std::error_code write(std::string_view bytes) = 0;
    /// Gives the new file the permission bits (and, where allowed, the owner) of the file it is to replace.
    virtual std::error_code keepAttributes(const FileStatus& original) = 0;
    /// Closes the file; with sync, its data reaches the disk first.
    virtual std::error_code close(bool sync) = 0;
    /// The identity the file will keep after a rename.
    virtual FileIdentity identity() const = 0;
};

/// Every file-system call of the protection run goes through this seam, so that tests can make any step fail.
/// Failures are returned as system error codes (errno values).
class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// The whole file's bytes; on failure bytes holds whatever was read before it.
    virtual std::error_code readFile(const std::string& path, std::string& bytes) = 0;
    virtual std::error_code status(const std::string& path, FileStatus& status) = 0;
    /// The folder's names (without "." and ".."), sorted by their bytes.
    virtual std::error_code listFolder(const std::string& path, std::vector<FolderEntry>& entries) = 0;
    virtual std::error_code createFolder(const std::string& path) = 0;
    /// Creates a new, empty file with a fresh name in folder; the name starts with "." and never ends in ".htm".
    virtual std::error_code createTempFile(const std::string& folder, std::string_view nameHint,
                                           std::unique_ptr<OutputFile>& file, std::string& tempPath) = 0;
    /// Replaces to by from in one step.
    virtual std::error_code renameFile(const std::string& from, const std::string& to) = 0;
    virtual std::error_code removeFile(const std::string& path) = 0;
    /// Replaces to by a copy of from (bytes and permission bits) in one step, the copy on the disk first;
    /// on failure to is left as it was.
    virtual std::error_code copyFile(const std::string& from, const std::string& to) = 0;
    /// The absolute path with every link, "." and ".." resolved; a missing tail is appended as written.
    virtual std::error_code canonicalPath(const std::string& path, std::string& canonical) = 0;
};

} // namespace quillora::run
