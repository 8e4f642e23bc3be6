#pragma once

#include "FileList.h"
#include "RunReporter.h"
#include "SelectionEntry.h"
#include "disk/FileSystem.h"

#include <vector>

namespace quillora::run {

/// The way back: every page below the picked paths that carries the protection and has its ".bak" beside it gets
/// its original again, the backup renamed over the page in one step (so the backup is gone afterwards). A protected
/// page without a backup, or whose backup is itself protected, is reported and left alone; other pages are passed
/// over. Restored pages are reported as written.
class RestoreRun {
public:
    RestoreRun(RunReporter& reporter, disk::FileSystem& fileSystem);

    RunSummary Restore(const std::vector<SelectionEntry>& selection);

private:
    void restorePage(const FileEntry& entry, RunSummary& summary, std::vector<std::string>& restored);

    RunReporter& m_reporter;
    disk::FileSystem& m_fs;
};

/// True when page bytes carry the protection as this program writes it (in any character set it reads).
bool CarriesProtection(std::string_view bytes);

} // namespace quillora::run
