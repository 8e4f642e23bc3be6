#pragma once

#include "FileList.h"
#include "RunReporter.h"
#include "SelectionEntry.h"
#include "disk/FileSystem.h"

#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace quillora::run {

/// Expands a picked folder into list entries: its own page files first, then each subfolder's, depth first,
/// in name order. Each real folder is entered once, so a link back to a parent folder ends; version-control folders
/// and the folders of kept originals are not entered. A folder that cannot be listed is skipped and told to
/// onUnreadable (its pages would otherwise be left out without a word); one that vanished is passed over.
class FolderScan {
public:
    using UnreadableFolder = std::function<void(const std::string& folder, std::error_code error)>;
    using LeaveOut = std::function<bool(const std::string& path, bool isFolder)>;

    explicit FolderScan(disk::FileSystem& fileSystem, UnreadableFolder onUnreadable = {});

    /// Appends the entries for folder and all its subfolders; an empty base becomes folder, so that every
    /// entry of one picked folder has it as its Folder, and Name is the rest of the file's path.
    void ScanFolder(const std::string& folder, FileList& list, std::string& base);
    /// Appends the entries for the page files directly in folder.
    void AddHtmlFiles(const std::string& folder, FileList& list, const std::string& base);
    /// Leaves a folder (and what is below it) out of every later scan; the pages found in it go to leftOut, if given,
    /// so that they can be named.
    void exclude(const disk::FileIdentity& folder, std::vector<FileEntry>* leftOut = nullptr);
    /// Collects the site's other files too (not pages, not the run's own temporary files, not editor or backup
    /// leftovers), named like the pages.
    void collectOthers(std::vector<FileEntry>* others) { m_others = others; }
    /// Leaves out every file and folder for which leaveOut is true: not listed, not looked into.
    void leaveOut(LeaveOut leaveOut) { m_leaveOut = std::move(leaveOut); }
    /// Collects the files beside the pages that may hold their text in clear: leftovers and the files known to carry
    /// page text, named like the pages.
    void collectReadable(std::vector<FileEntry>* readable) { m_readable = readable; }

private:
    void addPages(const std::string& folder, const std::vector<disk::FolderEntry>& entries, FileList& list,
                  const std::string& base);

    void list(const std::string& folder, std::vector<disk::FolderEntry>& entries);
    void scanExcluded(const std::string& folder, const std::string& base);
    bool isRunTemporary(const std::string& folder, const std::string& name);

    disk::FileSystem& m_fs;
    UnreadableFolder m_onUnreadable;
    std::vector<FileEntry>* m_others = nullptr;
    LeaveOut m_leaveOut;
    std::vector<FileEntry>* m_readable = nullptr;
    std::unordered_set<disk::FileIdentity, disk::FileIdentityHash> m_entered;
    std::optional<disk::FileIdentity> m_excluded;
    std::vector<FileEntry>* m_leftOut = nullptr;
};

/// The pages below the picked paths, each once however it was reached: a folder's pages as a scan finds them, a file
/// as it was picked. A folder that cannot be read goes to onUnreadable.
std::vector<FileEntry> ListPickedPages(disk::FileSystem& fileSystem, const std::vector<SelectionEntry>& selection,
                                       const FolderScan::UnreadableFolder& onUnreadable);

/// The start of a run that goes through the picked pages one by one (a restore, a decryption): refused without a
/// pick (summary.outcome says so, and no page is returned), else the pages listed and reported as found, a folder
/// that cannot be read reported and counted as skipped.
std::vector<FileEntry> StartPageByPage(RunReporter& reporter, disk::FileSystem& fileSystem,
                                       const std::vector<SelectionEntry>& selection, RunSummary& summary);

/// A path below a folder: the folder, a separator unless it ends in one, the name.
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace quillora::run
