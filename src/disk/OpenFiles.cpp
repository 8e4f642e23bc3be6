#include "OpenFiles.h"

#include <algorithm>
#include <dirent.h>
#include <sys/resource.h>

namespace quillora::disk {

namespace {

constexpr std::size_t kMostPagesInFlight = 64;
constexpr std::size_t kFilesPerPage = 4;
// Folder listings, the flushes' descriptors, a copied file and its source, the sweep of a folder, the front end's own.
constexpr std::size_t kFilesBesidePages = 16;
// Where /proc cannot tell, a guess on the safe side.
constexpr std::size_t kUnknownInUse = 32;

} // namespace

std::size_t RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return kMostPagesInFlight * kFilesPerPage;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(limit.rlim_cur);
}

std::size_t OpenFilesInUse() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr)
        return kUnknownInUse;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    ::closedir(folder);
    return count > 0 ? count - 1 : 0; // the listing's own
}

std::size_t PagesInFlight(std::size_t limit, std::size_t inUse) {
    const std::size_t taken = inUse + kFilesBesidePages;
    if (limit <= taken)
        return 1;
    return std::clamp<std::size_t>((limit - taken) / kFilesPerPage, 1, kMostPagesInFlight);
}

} // namespace quillora::disk
