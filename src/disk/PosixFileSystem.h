#pragma once

#include "FileSystem.h"

namespace quillora::disk {

/// The real file system, through POSIX calls. Paths longer than the system takes in one call are reached a part
/// at a time through folder descriptors.
class PosixFileSystem : public FileSystem {
public:
    std::error_code openLocked(const std::string& path, std::chrono::milliseconds wait,
                               std::unique_ptr<LockedFile>& file) override;
    std::error_code readFile(const std::string& path, std::string& bytes) override;
    std::error_code readStart(const std::string& path, std::size_t limit, std::string& bytes) override;
    std::error_code status(const std::string& path, FileStatus& status) override;
    std::error_code listFolder(const std::string& path, std::vector<FolderEntry>& entries) override;
    std::error_code createFolder(const std::string& path) override;
    std::error_code createTempFile(const std::string& folder, std::string_view nameHint,
                                   std::optional<FileIdentity> partner, std::unique_ptr<OutputFile>& file,
                                   std::string& tempPath) override;
    std::size_t removeStaleTemporaries(const std::string& folder) override;
    std::error_code renameFile(const std::string& from, const std::string& to) override;
    std::error_code replaceChecked(const std::string& from, const FileIdentity& moving, const std::string& to,
                                   std::optional<FileIdentity> expected) override;
    std::error_code removeFile(const std::string& path) override;
    std::error_code removeEmptyFolder(const std::string& path) override;
    std::error_code appendToFile(const std::string& path, std::string_view bytes) override;
    std::error_code copyFile(const std::string& from, const std::string& to) override;
    std::error_code syncFileSystems(const std::vector<std::string>& paths) override;
    std::error_code canonicalPath(const std::string& path, std::string& canonical) override;
};

} // namespace quillora::disk
