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

RunSummary RestoreRun::Restore(const std::vector<SelectionEntry>& selection) {
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
        restorePage(entry, summary, restored);
        m_reporter.progressChanged(++done, summary.found);
    }
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
    std::error_code error = m_fs.openLocked(page, true, locked);
    std::string bytes;
    if (!error)
        error = locked->read(bytes);
    if (error == disk::DiskError::NotARegularFile)
        return; // not a page this program could have written
    if (error)
        return giveUp(PageProblem::Step::Read, error, page);
    if (!CarriesProtection(bytes))
        return; // an original already, or a page this program never protected
    std::string original;
    if (const auto backupError = m_fs.readFile(backup, original)) {
        if (backupError == std::errc::no_such_file_or_directory)
            return giveUp(PageProblem::Step::Backup, RunError::NoBackup, backup);
        return giveUp(PageProblem::Step::Backup, backupError, backup);
    }
    if (CarriesProtection(original))
        return giveUp(PageProblem::Step::Backup, RunError::BackupIsProtected, backup);
    // A page that is a link was protected through it: its original goes back to where the link leads.
    std::string target = page;
    if (locked->status().isSymlink && m_fs.canonicalPath(page, target))
        target = page;
    if (const auto renameError = m_fs.renameFile(backup, target))
        return giveUp(PageProblem::Step::Write, renameError, page);
    ++summary.written;
    restored.push_back(page);
    m_reporter.pageWritten(entry, page);
}

} // namespace quillora::run
