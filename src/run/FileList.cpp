#include "FileList.h"

namespace quillora::run {

std::int32_t NextFileIndex(FileList& list) {
    ++list.FileCount;
    if (list.upperBound() < list.FileCount)
        list.slots.resize(static_cast<std::size_t>(list.upperBound()) + 1 + kFileListGrowth);
    return list.FileCount;
}

} // namespace quillora::run
