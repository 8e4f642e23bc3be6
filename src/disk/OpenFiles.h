#pragma once

#include <cstddef>

namespace quillora::disk {

/// Raises the process's soft limit of open files to its hard limit, and returns the soft limit then in force.
std::size_t RaiseOpenFileLimit();

/// The files the process holds open now.
std::size_t OpenFilesInUse();

/// How many pages a run keeps waiting for the writer, and as many in the group being written, when limit files may be
/// open and inUse already are: a waiting page holds its lock, a page being written its lock, its new file and its
/// backup's copy; the rest of the run needs a few. At least one, at most 64.
std::size_t PagesInFlight(std::size_t limit, std::size_t inUse);

} // namespace quillora::disk
