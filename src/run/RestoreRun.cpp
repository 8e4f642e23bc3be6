#include "RestoreRun.h"

#include "ErrorNumbers.h"
#include "FolderScan.h"
#include "PageRewriter.h"
#include "ProcessedFiles.h"
#include "disk/DiskError.h"
#include "unlock/UnlockPage.h"

namespace quillora::run {

namespace {

constexpr std::string_view kBackupSuffix = ".bak";

} // namespace

bool CarriesProtection(std::string_view bytes) {
    return unlock::PageEncryptor::isUnlockPage(bytes) ||
           PageRewriter::isProtected(bytes, PageRewriter::encodingOf(bytes));
}

RestoreRun::RestoreRun(RunReporter& reporter, disk::FileSystem& fileSystem) : m_reporter(reporter), m_fs(fileSystem) {}

RunSummary RestoreRun::Restore(const std::vector<SelectionEntry>& selection, const std::stop_token& stop) {
    RunSummary summary;
    m_reporter.runStarted();
    if (selection.empty()) {
        summary.outcome = RunSummary::Outcome::Refused;
        m_reporter.runRefused({RunRefusal::Reason::NothingPicked, {}, {}});
        return summary;
    }
    m_reporter.scanning();
    FileList list;
    for (const auto& picked : selection) {
        if (picked.isFolder) {
            FolderScan scan(m_fs, [this, &summary](const std::string& folder, std::error_code error) {
                ++summary.skipped;
                m_reporter.folderSkipped(folder, {PageProblem::Step::Read, error, folder});
            });
            std::string base;
            scan.ScanFolder(picked.path, list, base);
        } else {
            list.slots[static_cast<std::size_t>(NextFileIndex(list))] = {picked.path, {}};
        }
    }
    ProcessedFiles processed(m_fs);
    std::vector<FileEntry> pages;
    for (const auto& entry : list.slots) {
        if (!entry.Name.empty() && processed.add(entry.fullPath()))
            pages.push_back(entry);
    }
    summary.found = pages.size();
    m_reporter.pagesFound(summary.found);
    m_reporter.progressChanged(0, summary.found);
    std::vector<std::string> restored;
    std::size_t done = 0;
    for (const auto& entry : pages) {
        if (stop.stop_requested()) {
            ++summary.notReached;
            m_reporter.pageNotReached(entry);
            continue;
        }
        restorePage(entry, summary, restored);
        m_reporter.progressChanged(++done, summary.found);
    }
    summary.stopped = summary.notReached > 0;
    // Each restore is one rename; they reach the disk together.
    if (!restored.empty())
        (void)m_fs.syncFileSystems(restored);
    m_reporter.runFinished(summary);
    return summary;
}

void RestoreRun::restorePage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& restored) {
    const std::string page = entry.fullPath();
    const std::string backup = page + std::string(kBackupSuffix);
    const auto giveUp = [&](PageProblem::Step step, std::error_code error, const std::string& path) {
        ++summary.givenUp;
        m_reporter.pageGivenUp(entry, {step, error, path});
    };
    std::unique_ptr<disk::LockedFile> locked;
    // The page stays locked while its original comes back, so that no run protects it meanwhile.
    std::error_code error = OpenPageWaiting(m_fs, m_reporter, entry, page, m_lockWait, locked);
    std::string bytes;
    if (!error)
        error = locked->read(bytes);
    if (error == disk::DiskError::NotARegularFile)
        return; // not a page this program could have written
    if (error)
        return giveUp(PageProblem::Step::Read, error, page);
    if (!CarriesProtection(bytes))
        return; // an original already, or a page this program never protected
    // A backup is a file this program made: a link in its place (put there to have any file moved over the page) is
    // refused, and so is one put there after this look, when the backup takes the page's place. The backup is held
    // open meanwhile, so that its identity stays its own.
    disk::FileStatus backupStatus;
    std::error_code backupError = m_fs.status(backup, backupStatus);
    std::unique_ptr<disk::LockedFile> held;
    if (!backupError && backupStatus.isFolder)
        backupError = std::make_error_code(std::errc::is_a_directory);
    if (!backupError && !backupStatus.isSymlink)
        backupError = m_fs.openLocked(backup, std::chrono::milliseconds(0), held);
    if (backupStatus.isSymlink || (held != nullptr && held->status().isSymlink))
        return giveUp(PageProblem::Step::Backup, RunError::BackupIsALink, backup);
    std::string original;
    if (!backupError)
        backupError = held->read(original);
    if (backupError == std::errc::no_such_file_or_directory)
        return giveUp(PageProblem::Step::Backup, RunError::NoBackup, backup);
    if (backupError)
        return giveUp(PageProblem::Step::Backup, backupError, backup);
    if (CarriesProtection(original))
        return giveUp(PageProblem::Step::Backup, RunError::BackupIsProtected, backup);
    // A page that is a link was protected through it: its original goes back to where the link leads.
    std::string target = page;
    if (locked->status().isSymlink && m_fs.canonicalPath(page, target))
        target = page;
    if (const auto replaceError =
            m_fs.replaceChecked(backup, held->status().identity, target, locked->status().identity))
        return giveUp(PageProblem::Step::Write, replaceError, page);
    ++summary.written;
    restored.push_back(page);
    m_reporter.pageWritten(entry, page);
}

} // namespace quillora::run
