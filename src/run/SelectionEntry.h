#pragma once

#include <string>

namespace quillora::run {

/// One direct child of the selection tree's root, in tree order: a picked folder or a picked file (native path).
struct SelectionEntry {
    std::string path;
    bool isFolder = false;
};

} // namespace quillora::run
