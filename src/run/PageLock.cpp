#include "PageLock.h"

#include "ErrorNumbers.h"

#include <algorithm>

namespace quillora::run {

namespace {

bool stillLocked(std::error_code error) {
    return error == std::errc::resource_unavailable_try_again;
}

} // namespace

std::error_code OpenPageWaiting(disk::FileSystem& fileSystem, RunReporter& reporter, const FileEntry& page,
                                const std::string& path, const LockWait& wait,
                                std::unique_ptr<disk::LockedFile>& file) {
    const auto quiet = std::min(wait.announceAfter, wait.giveUpAfter);
    std::error_code error = fileSystem.openLocked(path, quiet, file);
    if (!stillLocked(error))
        return error;
    if (wait.giveUpAfter > quiet) {
        const auto bound = std::chrono::ceil<std::chrono::seconds>(wait.giveUpAfter);
        reporter.waitingForPage(page, bound);
        error = fileSystem.openLocked(path, wait.giveUpAfter - quiet, file);
        if (!stillLocked(error))
            return error;
    }
    return RunError::LockedTooLong;
}

std::error_code ReadPageWaiting(disk::FileSystem& fileSystem, RunReporter& reporter, const FileEntry& page,
                                const LockWait& wait, std::unique_ptr<disk::LockedFile>& file, std::string& bytes) {
    std::error_code error = OpenPageWaiting(fileSystem, reporter, page, page.fullPath(), wait, file);
    if (!error)
        error = file->read(bytes);
    return error;
}

} // namespace quillora::run
