#include "RestoreRun.h"

#include "ErrorNumbers.h"
#include "FolderScan.h"
#include "OriginalsPlace.h"
#include "PageRewriter.h"
#include "disk/DiskError.h"
#include "disk/Paths.h"
#include "unlock/UnlockPage.h"
#include "unlock/UnlockScript.h"

#include <map>

namespace quillora::run {

namespace {

constexpr std::string_view kBackupSuffix = ".bak";

// Where a page's site begins: its picked folder, or its own folder when it was picked on its own.
std::string rootOf(const FileEntry& entry) {
    return entry.Folder.empty() ? disk::getFilePathOnly(entry.Name) : entry.Folder;
}

} // namespace

bool CarriesProtection(std::string_view bytes) {
    return unlock::PageEncryptor::isUnlockPage(bytes) ||
           PageRewriter::isProtected(bytes, PageRewriter::encodingOf(bytes));
}

RestoreRun::RestoreRun(RunReporter& reporter, disk::FileSystem& fileSystem, std::string backupFolder)
    : m_reporter(reporter), m_fs(fileSystem), m_backupFolder(std::move(backupFolder)) {}

RunSummary RestoreRun::Restore(const std::vector<SelectionEntry>& selection, const std::stop_token& stop) {
    RunSummary summary;
    const std::vector<FileEntry> pages = StartPageByPage(m_reporter, m_fs, selection, summary);
    if (summary.outcome == RunSummary::Outcome::Refused)
        return summary;
    std::vector<std::string> restored;
    std::map<std::string, bool> roots; // each site's root, and whether an unlock page is left below it
    std::size_t done = 0;
    for (const auto& entry : pages) {
        if (stop.stop_requested()) {
            ++summary.notReached;
            m_reporter.pageNotReached(entry);
            continue;
        }
        bool unlockPageLeft = false;
        restorePage(entry, summary, restored, unlockPageLeft);
        roots[rootOf(entry)] |= unlockPageLeft;
        m_reporter.progressChanged(++done, summary.found);
    }
    summary.stopped = summary.notReached > 0;
    if (!summary.stopped)
        removeSharedScripts(roots);
    // Each restore is one rename; they reach the disk together.
    if (!restored.empty())
        (void)m_fs.syncFileSystems(restored);
    m_reporter.runFinished(summary);
    return summary;
}

// The script the unlock pages of a site share goes with the last of them: a site whose originals are all back is
// as it was before it was encrypted.
void RestoreRun::removeSharedScripts(const std::map<std::string, bool>& roots) {
    for (const auto& [root, unlockPageLeft] : roots) {
        std::vector<disk::FolderEntry> entries;
        if (unlockPageLeft || m_fs.listFolder(root, entries))
            continue;
        for (const auto& entry : entries) {
            if (!entry.isFolder && unlock::isSharedScriptName(entry.name))
                (void)m_fs.removeFile(JoinPath(root, entry.name));
        }
    }
}

void RestoreRun::restorePage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& restored,
                             bool& unlockPageLeft) {
    const std::string page = entry.fullPath();
    const auto giveUp = [&](PageProblem::Step step, std::error_code error, const std::string& path) {
        ++summary.givenUp;
        m_reporter.pageGivenUp(entry, {step, error, path});
    };
    std::unique_ptr<disk::LockedFile> locked;
    std::string bytes;
    // The page stays locked while its original comes back, so that no run protects it meanwhile.
    std::error_code error = ReadPageWaiting(m_fs, m_reporter, entry, m_lockWait, locked, bytes);
    if (error == disk::DiskError::NotARegularFile)
        return; // not a page this program could have written
    if (error)
        return giveUp(PageProblem::Step::Read, error, page);
    if (!CarriesProtection(bytes))
        return; // an original already, or a page this program never protected
    unlockPageLeft = unlock::PageEncryptor::isUnlockPage(bytes); // until its original is back
    std::string backup;
    std::unique_ptr<disk::LockedFile> held;
    std::string original;
    if (const auto backupError = findOriginal(page, backup, held, original))
        return giveUp(PageProblem::Step::Backup, backupError, backup);
    // An encrypted run keeps exactly what it replaced, which may be a page an earlier run hid; a ".bak" that holds
    // a protected page was replaced by a second run and holds no original.
    const bool kept = !OriginalsPlace::keptFolderOf(backup, m_backupFolder).empty();
    if (kept ? unlock::PageEncryptor::isUnlockPage(original) : CarriesProtection(original))
        return giveUp(PageProblem::Step::Backup, RunError::BackupIsProtected, backup);
    // A page that is a link was protected through it: its original goes back to where the link leads.
    std::string target = page;
    if (locked->status().isSymlink && m_fs.canonicalPath(page, target))
        target = page;
    if (const auto moveError = moveOriginal(backup, *held, target, *locked))
        return giveUp(PageProblem::Step::Write, moveError, page);
    held.reset();
    tidyKeptFolders(backup);
    unlockPageLeft = false;
    ++summary.written;
    restored.push_back(page);
    m_reporter.pageWritten(entry, page);
}

std::error_code RestoreRun::findOriginal(const std::string& page, std::string& path,
                                         std::unique_ptr<disk::LockedFile>& held, std::string& bytes) {
    std::vector<std::string> candidates{page + std::string(kBackupSuffix)};
    for (auto& kept : OriginalsPlace::candidatesFor(page, m_backupFolder))
        candidates.push_back(std::move(kept));
    for (const auto& candidate : candidates) {
        disk::FileStatus status;
        std::error_code error = m_fs.status(candidate, status);
        const bool missing = error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
        if (missing && !status.isSymlink)
            continue; // a link leading nowhere is still a link in the original's place
        path = candidate;
        // An original is a file this program put there: a link in its place (put there to have any file moved over
        // the page) is refused, and so is one put there after this look, when the original takes the page's place.
        // The original is held open meanwhile, so that its identity stays its own.
        if (!error && status.isFolder)
            error = std::make_error_code(std::errc::is_a_directory);
        if (!error && !status.isSymlink)
            error = m_fs.openLocked(candidate, std::chrono::milliseconds(0), held);
        if (error == std::errc::resource_unavailable_try_again)
            return RunError::LockedTooLong;
        if (status.isSymlink || (held != nullptr && held->status().isSymlink))
            return RunError::BackupIsALink;
        if (!error)
            error = held->read(bytes);
        return error;
    }
    path = candidates.front();
    return RunError::NoBackup;
}

// Kept elsewhere (another file system), the original is copied into the page's place in one step, then removed.
std::error_code RestoreRun::moveOriginal(const std::string& original, const disk::LockedFile& held,
                                         const std::string& target, const disk::LockedFile& page) {
    const auto error = m_fs.replaceChecked(original, held.status().identity, target, page.status().identity);
    if (error != std::errc::cross_device_link)
        return error;
    if (const auto copyError = m_fs.copyFile(original, target))
        return copyError;
    (void)m_fs.removeFile(original);
    return {};
}

// The folders of kept originals that are empty once their last original went back are removed, up to the folder
// of originals itself (a backup folder the user chose stays).
void RestoreRun::tidyKeptFolders(const std::string& original) {
    const std::string kept = OriginalsPlace::keptFolderOf(original, m_backupFolder);
    if (kept.empty())
        return;
    const bool chosen = !m_backupFolder.empty() && kept == OriginalsPlace::absolute(m_backupFolder);
    std::string folder = OriginalsPlace::absolute(original);
    for (;;) {
        folder = folder.substr(0, folder.rfind(disk::kPathSeparator));
        if (!OriginalsPlace::isWithin(folder, kept) || (chosen && folder == kept) || m_fs.removeEmptyFolder(folder))
            return;
        if (folder == kept)
            return;
    }
}

} // namespace quillora::run
