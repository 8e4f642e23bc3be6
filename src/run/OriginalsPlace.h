#pragma once

#include "SelectionEntry.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillora::run {

/// Where an encrypted overwrite run keeps the originals of the pages it replaces: outside every folder the user
/// publishes. By default in "R.originals" beside R, R being the outermost picked folder that holds the page (for a
/// page picked on its own outside them, its own folder), the page's path below R kept; with a backup folder, below
/// it, the page's absolute path kept (so that the originals of any number of picked folders and runs never meet).
/// Paths are taken as absolute and lexically normal.
class OriginalsPlace {
public:
    static constexpr std::string_view kSuffix = ".originals";

    /// picked: the run's selection; backupFolder: empty for the folders beside the picked ones.
    OriginalsPlace(const std::vector<SelectionEntry>& picked, const std::string& backupFolder);

    /// Where the original of the page at path goes; folder receives the folder it is kept in (as the run names it
    /// to the user). Empty when there is no place for it (a page at the top of the file system's root).
    std::string originalOf(const std::string& page, std::string& folder) const;

    /// Where a restore looks for the original of the page at path, in order (after PAGE.bak beside it): for each
    /// folder A above it, nearest first, A.originals with the page's path below A; then below the backup folder.
    static std::vector<std::string> candidatesFor(const std::string& page, const std::string& backupFolder);
    /// The folder of kept originals that the original at path lies in (for tidying up after a restore): the
    /// backup folder, or the nearest folder above it named NAME.originals; empty when neither.
    static std::string keptFolderOf(const std::string& original, const std::string& backupFolder);

    /// The path absolute (from the working folder) and without "." and ".." steps or doubled separators.
    static std::string absolute(const std::string& path);
    /// True when path is folder or lies below it (both absolute and normal).
    static bool isWithin(const std::string& path, const std::string& folder);

private:
    std::vector<std::string> m_folders; // the picked folders, absolute and normal
    std::string m_backupFolder;
};

} // namespace quillora::run
