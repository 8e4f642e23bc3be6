#pragma once

#include <string>

namespace quillora::run {

/// One page to protect. The file's full path is Folder followed directly by Name (native path bytes).
/// For a file picked on its own Name is its full path and Folder is empty; for a file found in a picked
/// folder Folder is that folder as picked and Name the rest of the path.
struct FileEntry {
    std::string Name;
    std::string Folder;

    std::string fullPath() const { return Folder + Name; }
};

} // namespace quillora::run
