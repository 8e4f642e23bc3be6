#pragma once

#include "FileEntry.h"
#include "RunReporter.h"
#include "disk/FileSystem.h"

#include <chrono>
#include <memory>
#include <string>
#include <system_error>

namespace quillora::run {

/// How long a run waits for a page that another program holds locked: it names the page once the wait has lasted
/// announceAfter (a run beside it lets go within moments), and gives the page up after giveUpAfter.
struct LockWait {
    std::chrono::milliseconds announceAfter{1000};
    std::chrono::milliseconds giveUpAfter{60000};
};

/// Opens a page with its lock, waiting for another program's lock within the bounds of wait and telling the reporter
/// which page it waits for. A lock still held at the end fails with RunError::LockedTooLong.
std::error_code OpenPageWaiting(disk::FileSystem& fileSystem, RunReporter& reporter, const FileEntry& page,
                                const std::string& path, const LockWait& wait, std::unique_ptr<disk::LockedFile>& file);
/// OpenPageWaiting, then the whole page read through the lock it holds.
std::error_code ReadPageWaiting(disk::FileSystem& fileSystem, RunReporter& reporter, const FileEntry& page,
                                const LockWait& wait, std::unique_ptr<disk::LockedFile>& file, std::string& bytes);

} // namespace quillora::run
