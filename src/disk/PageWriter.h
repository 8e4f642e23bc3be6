#pragma once

#include "FileSystem.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quillora::disk {

/// What a staged file may replace when it takes its place: whatever is there then, or only the file the run saw at
/// the name when it made its decision (none: no file at all).
struct Replacing {
    bool checked = false;
    std::optional<FileIdentity> expected;

    static Replacing only(std::optional<FileIdentity> seen) { return {true, seen}; }
};

/// Writes files so that a failure at any step leaves the old file as it was: the bytes go to a temporary file in
/// the target's folder, which is put in the target's place in one step once it is whole (and, when it replaces a
/// file, on the disk). The old file's permission bits are kept; a symbolic link is written through to its target;
/// an existing file without write permission is refused with EACCES, a folder with EISDIR. The steps can be taken
/// one at a time, so that many files are brought to the disk together before they take their places.
class PageWriter {
public:
    /// Where the bytes for a path really go, and what is there now.
    struct Target {
        std::string path; // a link's target, else the path itself
        bool exists = false;
        bool isLink = false; // the path itself is a symbolic link (also one that leads nowhere)
        FileStatus existing;
    };

    /// A file written beside its target, not yet in its place; its temporary file goes when it is dropped.
    struct Pending {
        Pending() = default;
        Pending(Pending&& other) noexcept;
        Pending& operator=(Pending&& other) noexcept;
        ~Pending() { discard(); }
        /// Removes the temporary file, if it has not been put in its place.
        void discard();
        bool staged() const { return file != nullptr || linked; }

        std::unique_ptr<OutputFile> file; // none for a link
        bool linked = false;              // a further name of an existing file
        FileIdentity identity;            // the file staged: written, or linked
        Replacing replacing;
        std::string tempPath;
        std::string target;
        FileSystem* fs = nullptr;
    };

    explicit PageWriter(FileSystem& fileSystem);

    /// The target of path; fails for a folder and for a file without write permission.
    std::error_code resolve(const std::string& path, Target& target);
    /// Writes the bytes into a temporary file beside target.path with the attributes given (the old file's, or
    /// another file's for a backup), not yet flushed.
    std::error_code stage(const std::string& targetPath, std::string_view bytes, const FileStatus* attributes,
                          Pending& pending, Replacing replacing = {});
    /// Stages a further name of the locked file itself for target (a backup that is the original, not a copy of it).
    std::error_code stageLink(const std::string& targetPath, LockedFile& file, Pending& pending,
                              Replacing replacing = {});
    /// Puts a staged file in its target's place; the file is then written. A checked placement whose target holds
    /// another file by now fails with DiskError::ChangedDuringRun and leaves that file where it is.
    std::error_code place(Pending& pending, FileIdentity& written);

    /// The three steps for one file, flushed before it replaces an old one; written is the identity of the file
    /// now at path.
    std::error_code write(const std::string& path, std::string_view bytes, FileIdentity& written);

private:
    FileSystem& m_fs;
};

} // namespace quillora::disk
