#include "FolderScan.h"

#include "FileHelpers.h"
#include "ProcessedFiles.h"
#include "SiteFileRules.h"
#include "disk/Paths.h"
#include "disk/TemporaryNames.h"

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

void FolderScan::exclude(const disk::FileIdentity& folder, std::vector<FileEntry>* leftOut) {
    m_excluded = folder;
    m_leftOut = leftOut;
}

void FolderScan::ScanFolder(const std::string& folder, FileList& list, std::string& base) {
    if (base.empty())
        base = folder;
    disk::FileStatus status;
    if (m_fs.status(folder, status) || !status.isFolder)
        return;
    if (!m_entered.insert(status.identity).second)
        return; // entered before, through another link
    if (status.identity == m_excluded) {
        scanExcluded(folder, base);
        return;
    }
    std::vector<disk::FolderEntry> entries;
    this->list(folder, entries);
    addPages(folder, entries, list, base);
    for (const auto& entry : entries) {
        if (!entry.isFolder)
            continue;
        const std::string path = JoinPath(folder, entry.name);
        if (m_leaveOut && m_leaveOut(path, true))
            continue;
        if (!IsLeftOutFolderName(entry.name))
            ScanFolder(path, list, base);
        else if (m_readable != nullptr) // version control's history, or originals, where the pages are published
            m_readable->push_back({path.substr(base.size()), base});
    }
}

// The excluded folder's pages are listed apart, with its other files left out: it holds no source of the run.
void FolderScan::scanExcluded(const std::string& folder, const std::string& base) {
    if (m_leftOut == nullptr)
        return;
    FileList pages;
    FolderScan inside(m_fs, m_onUnreadable);
    inside.m_entered = m_entered;
    inside.m_entered.erase(*m_excluded);
    std::string from = base;
    inside.ScanFolder(folder, pages, from);
    m_entered.merge(inside.m_entered);
    for (const auto& page : pages.slots) {
        if (!page.Name.empty())
            m_leftOut->push_back(page);
    }
}

bool FolderScan::isRunTemporary(const std::string& folder, const std::string& name) {
    disk::FileStatus status;
    return disk::IsTemporaryName(name) && !m_fs.status(JoinPath(folder, name), status) &&
           disk::IsTemporaryNameOf(name, status.identity.inode);
}

void FolderScan::AddHtmlFiles(const std::string& folder, FileList& list, const std::string& base) {
    std::vector<disk::FolderEntry> entries;
    this->list(folder, entries);
    addPages(folder, entries, list, base);
}

void FolderScan::addPages(const std::string& folder, const std::vector<disk::FolderEntry>& entries, FileList& list,
                          const std::string& base) {
    for (const auto& entry : entries) {
        if (entry.isFolder || (m_leaveOut && m_leaveOut(JoinPath(folder, entry.name), false)))
            continue;
        if (!IsPageFileName(entry.name)) {
            // A file a run is writing (or left behind) may be a page's original: it is neither published nor named.
            if (isRunTemporary(folder, entry.name))
                continue;
            // A leftover holds an earlier text of a page (a backup, an editor's copy), and the project file and the
            // manifest are the run's own: none of them is published with the site.
            const bool leftOut = IsLeftOutFileName(entry.name) || IsProjectOwnName(entry.name);
            const FileEntry other{JoinPath(folder, entry.name).substr(base.size()), base};
            if (m_others != nullptr && !leftOut)
                m_others->push_back(other);
            if (m_readable != nullptr && (IsLeftoverName(entry.name) || CarriesPageText(entry.name)))
                m_readable->push_back(other);
            continue;
        }
        const std::int32_t index = NextFileIndex(list);
        // The path is built from the base's own spelling, so cutting the base off always leaves the rest.
        auto& slot = list.slots[static_cast<std::size_t>(index)];
        slot.Name = JoinPath(folder, entry.name).substr(base.size());
        slot.Folder = base;
    }
}

std::vector<FileEntry> ListPickedPages(disk::FileSystem& fileSystem, const std::vector<SelectionEntry>& selection,
                                       const FolderScan::UnreadableFolder& onUnreadable) {
    FileList list;
    for (const auto& picked : selection) {
        if (picked.isFolder) {
            FolderScan scan(fileSystem, onUnreadable);
            std::string base;
            scan.ScanFolder(picked.path, list, base);
        } else {
            list.slots[static_cast<std::size_t>(NextFileIndex(list))] = {picked.path, {}};
        }
    }
    ProcessedFiles processed(fileSystem);
    std::vector<FileEntry> pages;
    for (const auto& entry : list.slots) {
        if (!entry.Name.empty() && processed.add(entry.fullPath()))
            pages.push_back(entry);
    }
    return pages;
}

std::vector<FileEntry> StartPageByPage(RunReporter& reporter, disk::FileSystem& fileSystem,
                                       const std::vector<SelectionEntry>& selection, RunSummary& summary) {
    reporter.runStarted();
    if (selection.empty()) {
        summary.outcome = RunSummary::Outcome::Refused;
        reporter.runRefused({RunRefusal::Reason::NothingPicked, {}, {}});
        return {};
    }
    reporter.scanning();
    std::vector<FileEntry> pages =
        ListPickedPages(fileSystem, selection, [&reporter, &summary](const std::string& folder, std::error_code error) {
            ++summary.skipped;
            reporter.folderSkipped(folder, {PageProblem::Step::Read, error, folder});
        });
    summary.found = pages.size();
    reporter.pagesFound(summary.found);
    reporter.progressChanged(0, summary.found);
    return pages;
}

} // namespace quillora::run
