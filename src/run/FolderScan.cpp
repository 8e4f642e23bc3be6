#include "FolderScan.h"

#include "FileHelpers.h"
#include "disk/Paths.h"

namespace quillora::run {

std::string JoinPath(const std::string& folder, const std::string& name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != disk::kPathSeparator)
        path.push_back(disk::kPathSeparator);
    path += name;
    return path;
}

FolderScan::FolderScan(disk::FileSystem& fileSystem, UnreadableFolder onUnreadable)
    : m_fs(fileSystem), m_onUnreadable(std::move(onUnreadable)) {}

void FolderScan::list(const std::string& folder, std::vector<disk::FolderEntry>& entries) {
    // A folder that fails part-way keeps what it listed; one that cannot be opened at all adds nothing.
    const std::error_code error = m_fs.listFolder(folder, entries);
    if (error && error != std::errc::no_such_file_or_directory && m_onUnreadable)
        m_onUnreadable(folder, error);
}

void FolderScan::ScanFolder(const std::string& folder, FileList& list, std::string& base) {
    if (base.empty())
        base = folder;
    disk::FileStatus status;
    if (m_fs.status(folder, status) || !status.isFolder)
        return;
    if (!m_entered.insert(status.identity).second)
        return; // entered before, through another link
    std::vector<disk::FolderEntry> entries;
    this->list(folder, entries);
    addPages(folder, entries, list, base);
    for (const auto& entry : entries) {
        if (!entry.isFolder)
            continue;
        const std::string path = JoinPath(folder, entry.name);
        if (!m_leftOut || !m_leftOut(path, true))
            ScanFolder(path, list, base);
    }
}

void FolderScan::AddHtmlFiles(const std::string& folder, FileList& list, const std::string& base) {
    std::vector<disk::FolderEntry> entries;
    this->list(folder, entries);
    addPages(folder, entries, list, base);
}

void FolderScan::addPages(const std::string& folder, const std::vector<disk::FolderEntry>& entries, FileList& list,
                          const std::string& base) {
    for (const auto& entry : entries) {
        if (entry.isFolder || (m_leftOut && m_leftOut(JoinPath(folder, entry.name), false)))
            continue;
        if (!IsPageFileName(entry.name)) {
            // A page's backup holds the unprotected original, and the project file and the manifest are the run's
            // own: none of them is published with the site.
            if (m_others != nullptr && !disk::IsTemporaryName(entry.name) && !IsPageBackupName(entry.name) &&
                !IsProjectOwnName(entry.name))
                m_others->push_back({JoinPath(folder, entry.name).substr(base.size()), base});
            continue;
        }
        const std::int32_t index = NextFileIndex(list);
        // The path is built from the base's own spelling, so cutting the base off always leaves the rest.
        auto& slot = list.slots[static_cast<std::size_t>(index)];
        slot.Name = JoinPath(folder, entry.name).substr(base.size());
        slot.Folder = base;
    }
}

} // namespace quillora::run
