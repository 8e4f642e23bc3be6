#pragma once

#include "FileEntry.h"
#include "disk/FileSystem.h"
#include "engine/ProtectionOptions.h"

#include <string>
#include <string_view>
#include <unordered_set>

namespace quillora::run {

/// Decides where each protected page is written, by the storage mode: over the source (with a ".bak" backup
/// when chosen), below the target folder, or beside the source as "protected_" name. Rewrites the entry so that
/// the results list names the output, and makes the folders of the output path.
class OutputPlacement {
public:
    OutputPlacement(const engine::ProtectionOptions& options, disk::FileSystem& fileSystem);

    /// The output path of a page, its folders made.
    std::string GetOutputPath(FileEntry& entry);
    /// The output path of a page, without making anything and without changing the entry.
    std::string outputPathOf(const FileEntry& entry) const;
    /// Where the backup of the page at output goes; empty when no backup is made.
    std::string backupPathOf(const std::string& output) const;

    /// Replaces each pair of separators by one, in one pass from left to right (three become two).
    static std::string CollapseSeparators(std::string_view path);

    /// Forgets the folders known to exist (at the start of each run).
    void reset();

private:
    std::string place(FileEntry& entry) const;
    std::string copyPath(FileEntry& entry, std::size_t cut) const;
    static std::string besidePath(FileEntry& entry, std::size_t cut);

    const engine::ProtectionOptions& m_options;
    disk::FileSystem& m_fs;
    std::unordered_set<std::string> m_knownFolders;
};

} // namespace quillora::run
