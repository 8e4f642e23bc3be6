#pragma once

#include "FileList.h"
#include "PageLock.h"
#include "RunReporter.h"
#include "SelectionEntry.h"
#include "disk/FileSystem.h"

#include <map>
#include <stop_token>
#include <vector>

namespace quillora::run {

/// The way back: every page below the picked paths that carries the protection gets its original again: its ".bak"
/// beside it, else the one an encrypted run kept in "A.originals" for a folder A above it (nearest first), else the
/// one below the backup folder given. The original is renamed over the page in one step (so it is gone afterwards,
/// and so are the folders of kept originals it leaves empty). A protected page without an original, whose original
/// is itself protected or is a symbolic link (never followed), or that changed meanwhile, is reported and left
/// alone; other pages are passed over. Restored pages are reported as written.
class RestoreRun {
public:
    RestoreRun(RunReporter& reporter, disk::FileSystem& fileSystem, std::string backupFolder = {});

    /// Once stop is requested, the page in hand is finished; the pages not reached yet are left as they are (their
    /// backups too) and reported as such.
    RunSummary Restore(const std::vector<SelectionEntry>& selection, const std::stop_token& stop = {});
    /// How long the run waits for a page that another program holds locked.
    void setLockWait(const LockWait& wait) { m_lockWait = wait; }

private:
    void restorePage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& restored,
                     bool& unlockPageLeft);
    void removeSharedScripts(const std::map<std::string, bool>& roots);
    /// The first place the page's original stands, held open, with its bytes; an error when there is none or it
    /// cannot be taken (a link there is refused).
    std::error_code findOriginal(const std::string& page, std::string& path, std::unique_ptr<disk::LockedFile>& held,
                                 std::string& bytes);
    std::error_code moveOriginal(const std::string& original, const disk::LockedFile& held, const std::string& target,
                                 const disk::LockedFile& page);
    void tidyKeptFolders(const std::string& original);

    RunReporter& m_reporter;
    disk::FileSystem& m_fs;
    std::string m_backupFolder;
    LockWait m_lockWait;
};

/// True when page bytes carry the protection as this program writes it (in any character set it reads).
bool CarriesProtection(std::string_view bytes);

} // namespace quillora::run
