#pragma once

#include "run/FileSystem.h"
#include "run/PosixFileSystem.h"

#include <string>

namespace quillora::run::test {

/// The real file system with one fault that strikes as a failing disk would: part of the work is done on disk
/// before the error comes back (half a file read, half a file written), or a folder disappears from under the
/// scan. The fault strikes at every matching call, a call matching when its path contains pathPart.
class BrokenDiskFileSystem : public FileSystem {
public:
    enum class Fault {
        ReadHalfway,    // the read stops with the error after half of the file
        CreateTemp,     // the temporary output cannot be created
        WriteHalfway,   // half of the output reaches the temporary file, then the error
        Rename,         // the temporary file cannot replace the output
        CopyFails,      // the backup copy fails (a real copy leaves no partial file behind)
        CreateFolder,   // a folder of the output path cannot be made
        FolderVanishes, // the folder is removed from the disk just before it is listed
    };

    BrokenDiskFileSystem(Fault fault, std::string pathPart, int error);

    /// How often the fault struck.
    int strikes() const { return m_strikes; }

    std::error_code readFile(const std::string& path, std::string& bytes) override;
    std::error_code status(const std::string& path, FileStatus& status) override;
    std::error_code listFolder(const std::string& path, std::vector<FolderEntry>& entries) override;
    std::error_code createFolder(const std::string& path) override;
    std::error_code createTempFile(const std::string& folder, std::string_view nameHint,
                                   std::unique_ptr<OutputFile>& file, std::string& tempPath) override;
    std::error_code renameFile(const std::string& from, const std::string& to) override;
    std::error_code removeFile(const std::string& path) override;
    std::error_code copyFile(const std::string& from, const std::string& to) override;
    std::error_code canonicalPath(const std::string& path, std::string& canonical) override;

    /// True, and counted as a strike, when the fault is this one and the path matches.
    bool strikes(Fault fault, std::string_view path);
    std::error_code error() const { return {m_error, std::generic_category()}; }

private:
    Fault m_fault;
    std::string m_pathPart;
    int m_error;
    int m_strikes = 0;
    PosixFileSystem m_real;
};

} // namespace quillora::run::test
