#pragma once

#include "FileList.h"
#include "PageLock.h"
#include "RunReporter.h"
#include "SelectionEntry.h"
#include "disk/FileSystem.h"

#include <stop_token>
#include <vector>

namespace quillora::run {

/// The way back: every page below the picked paths that carries the protection and has its ".bak" beside it gets
/// its original again, the backup renamed over the page in one step (so the backup is gone afterwards). A protected
/// page without a backup, whose backup is itself protected or is a symbolic link (never followed), or that changed
/// meanwhile, is reported and left alone; other pages are passed over. Restored pages are reported as written.
class RestoreRun {
public:
    RestoreRun(RunReporter& reporter, disk::FileSystem& fileSystem);

    /// Once stop is requested, the page in hand is finished; the pages not reached yet are left as they are (their
    /// backups too) and reported as such.
    RunSummary Restore(const std::vector<SelectionEntry>& selection, const std::stop_token& stop = {});
    /// How long the run waits for a page that another program holds locked.
    void setLockWait(const LockWait& wait) { m_lockWait = wait; }

private:
    void restorePage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& restored);

    RunReporter& m_reporter;
    disk::FileSystem& m_fs;
    LockWait m_lockWait;
};

/// True when page bytes carry the protection as this program writes it (in any character set it reads).
bool CarriesProtection(std::string_view bytes);

} // namespace quillora::run
