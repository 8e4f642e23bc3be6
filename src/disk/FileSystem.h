#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::disk {

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

/// What the file system tells of one path. Links are followed; isSymlink tells that the path itself is one (it is set
/// too when the link leads nowhere and the call fails).
struct FileStatus {
    bool isFolder = false;
    bool isRegular = false; // a plain file: not a folder, device, pipe or socket
    bool isSymlink = false;
    bool writable = false;  // the permission bits let the current user write it (root included)
    std::uint32_t mode = 0; // permission bits
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t links = 1; // the number of names the file has
    std::int64_t modifiedNs = 0;
    std::int64_t accessedNs = 0;
    std::int64_t size = 0; // in bytes
    FileIdentity identity;
};

/// One name in a folder, links followed to tell folders from files (a dangling link counts as a file).
struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

/// A page opened for reading with an advisory lock on it, held until the object is destroyed: two runs never
/// read, rewrite and replace the same page at once.
class LockedFile {
public:
    virtual ~LockedFile() = default;

    /// The whole file's bytes; on failure bytes holds whatever was read before it.
    virtual std::error_code read(std::string& bytes) = 0;
    /// The locked file's status (the path names this very file: it was looked at again under the lock).
    virtual const FileStatus& status() const = 0;
    /// Gives this very file a further name, a temporary one in folder named as temporary files are (partner: the
    /// file it will be swapped with, if any), without copying a byte: a backup that is the original itself. Fails
    /// where the file system has no hard links or refuses one for this file.
    virtual std::error_code linkTemporary(const std::string& /*folder*/, std::string_view /*nameHint*/,
                                          std::optional<FileIdentity> /*partner*/, std::string& /*tempPath*/) {
        return std::make_error_code(std::errc::operation_not_supported);
    }
};

/// A new file being written, with a lock on it that tells other runs it is not a leftover. Destroying it
/// closes it and lets the lock go; the caller renames or removes the file before.
class OutputFile {
public:
    virtual ~OutputFile() = default;

    virtual std::error_code write(std::string_view bytes) = 0;
    /// Gives the new file the permission bits (and, where allowed, the owner and group) of another file.
    virtual std::error_code keepAttributes(const FileStatus& original) = 0;
    /// Gives the new file the access and modification times of another file.
    virtual std::error_code keepTimes(const FileStatus& original) = 0;
    /// Ends the writing; with sync, the data is on the disk when it returns.
    virtual std::error_code finish(bool sync) = 0;
    /// The identity the file will keep after a rename.
    virtual FileIdentity identity() const = 0;
};

/// Every file-system call of the protection run goes through this seam, so that tests can make any step fail.
/// Failures are returned as system error codes (errno values, or the disk's own codes of DiskError.h).
class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// Opens a page for reading with its lock. A path that does not name a regular file fails with
    /// DiskError::NotARegularFile before anything is opened; a lock that another program holds for longer than wait
    /// (zero: not at all) fails with std::errc::resource_unavailable_try_again.
    virtual std::error_code openLocked(const std::string& path, std::chrono::milliseconds wait,
                                       std::unique_ptr<LockedFile>& file) = 0;
    /// The whole file's bytes; on failure bytes holds whatever was read before it.
    virtual std::error_code readFile(const std::string& path, std::string& bytes) = 0;
    /// At most limit bytes from the start of a file (fewer for a shorter file).
    virtual std::error_code readStart(const std::string& path, std::size_t limit, std::string& bytes) {
        const std::error_code error = readFile(path, bytes);
        if (!error && bytes.size() > limit)
            bytes.resize(limit);
        return error;
    }
    virtual std::error_code status(const std::string& path, FileStatus& status) = 0;
    /// The folder's names (without "." and ".."), sorted by their bytes.
    virtual std::error_code listFolder(const std::string& path, std::vector<FolderEntry>& entries) = 0;
    virtual std::error_code createFolder(const std::string& path) = 0;
    /// Creates a new, empty file in folder under a temporary name made for it (see TemporaryName; partner: the file
    /// it will be swapped with when it takes its place, if any), locked until it is destroyed.
    virtual std::error_code createTempFile(const std::string& folder, std::string_view nameHint,
                                           std::optional<FileIdentity> partner, std::unique_ptr<OutputFile>& file,
                                           std::string& tempPath) = 0;
    /// Removes the temporary files in folder that a run left behind (killed or crashed) and no run holds: only names
    /// that were made for the very file they hold, never a user's file that merely looks like one.
    virtual std::size_t removeStaleTemporaries(const std::string& folder) = 0;
    /// Replaces to by from in one step.
    virtual std::error_code renameFile(const std::string& from, const std::string& to) = 0;
    /// Puts the file at from (moving) in to's place in one step, but only while to still holds the file expected there
    /// (std::nullopt: no file at all); the name from, which then holds what to held, is removed. When to holds
    /// another file (a user's editor saved over it meanwhile, a link was put there), that file stays where it is and
    /// DiskError::ChangedDuringRun is returned; from keeps what it held (moving, unless another program put a file
    /// there too). Names are compared without following links.
    virtual std::error_code replaceChecked(const std::string& from, const FileIdentity& moving, const std::string& to,
                                           std::optional<FileIdentity> expected) = 0;
    virtual std::error_code removeFile(const std::string& path) = 0;
    /// Adds bytes at the end of an existing file and brings them to the disk.
    virtual std::error_code appendToFile(const std::string& /*path*/, std::string_view /*bytes*/) {
        return std::make_error_code(std::errc::operation_not_supported);
    }
    /// Removes a folder that holds nothing; a folder that holds anything stays (and the call fails).
    virtual std::error_code removeEmptyFolder(const std::string& /*path*/) {
        return std::make_error_code(std::errc::operation_not_supported);
    }
    /// Replaces to by a copy of from (bytes, permission bits and times) in one step; on failure to is left as it
    /// was. The copy shares nothing with from that a later change of either could reach.
    virtual std::error_code copyFile(const std::string& from, const std::string& to) = 0;
    /// Brings everything written so far on the file systems that hold these paths to the disk.
    virtual std::error_code syncFileSystems(const std::vector<std::string>& paths) = 0;
    /// The absolute path with every link, "." and ".." resolved; a missing tail is appended as written.
    virtual std::error_code canonicalPath(const std::string& path, std::string& canonical) = 0;
};

} // namespace quillora::disk
