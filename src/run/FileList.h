#pragma once

#include "FileEntry.h"

#include <cstdint>
#include <vector>

namespace quillora::run {

/// The run's list of pages. Slot 0 exists from the start and stays empty; entries occupy slots 1 to
/// FileCount; slots above FileCount exist and are empty (an entry with an empty Name is skipped).
struct FileList {
    std::vector<FileEntry> slots = std::vector<FileEntry>(1);
    std::int32_t FileCount = 0;

    /// The highest index of the list.
    std::int32_t upperBound() const { return static_cast<std::int32_t>(slots.size()) - 1; }
};

/// The slot count the list grows by when it is full.
inline constexpr std::int32_t kFileListGrowth = 20;

/// Claims the next slot of the list, enlarging it by 20 slots when it is full.
std::int32_t NextFileIndex(FileList& list);

} // namespace quillora::run
