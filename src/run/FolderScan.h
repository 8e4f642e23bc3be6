#pragma once

#include "FileList.h"
#include "FileSystem.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace quillora::run {

/// Expands a picked folder into list entries: its own page files first, then each subfolder's, depth first,
/// in name order. Each real folder is entered once, so a link back to a parent folder ends. Whatever cannot
/// be read is skipped silently.
class FolderScan {
public:
    explicit FolderScan(FileSystem& fileSystem);

    /// Appends the entries for folder and all its subfolders; an empty base becomes folder, so that every
    /// entry of one picked folder has it as its Folder, and Name is the rest of the file's path.
    void ScanFolder(const std::string& folder, FileList& list, std::string& base);
    /// Appends the entries for the page files directly in folder.
    void AddHtmlFiles(const std::string& folder, FileList& list, const std::string& base);

private:
    void addPages(const std::string& folder, const std::vector<FolderEntry>& entries, FileList& list,
                  const std::string& base);

    FileSystem& m_fs;
    std::unordered_set<FileIdentity, FileIdentityHash> m_entered;
};

/// A path below a folder: the folder, a separator unless it ends in one, the name.
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace quillora::run
