#include "OriginalsPlace.h"

#include "disk/Paths.h"

#include <filesystem>

namespace quillora::run {

namespace {

/// The folder part of an absolute normal path without its last separator ("/" stays "/").
std::string parentOf(const std::string& path) {
    const auto last = path.rfind(disk::kPathSeparator);
    if (last == std::string::npos)
        return {};
    return last == 0 ? path.substr(0, 1) : path.substr(0, last);
}

bool isRoot(const std::string& folder) {
    return folder.size() == 1 && folder[0] == disk::kPathSeparator;
}

/// The rest of path below folder, without a leading separator.
std::string below(const std::string& path, const std::string& folder) {
    return path.substr(isRoot(folder) ? 1 : folder.size() + 1);
}

std::string joined(const std::string& folder, std::string_view rest) {
    std::string path = folder;
    if (path.empty() || path.back() != disk::kPathSeparator)
        path += disk::kPathSeparator;
    path.append(rest);
    return path;
}

} // namespace

std::string OriginalsPlace::absolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        full = path;
    std::string normal = full.lexically_normal().string();
    if (normal.size() > 1 && normal.back() == disk::kPathSeparator)
        normal.pop_back();
    return normal;
}

bool OriginalsPlace::isWithin(const std::string& path, const std::string& folder) {
    if (path == folder || isRoot(folder))
        return true;
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == disk::kPathSeparator;
}

OriginalsPlace::OriginalsPlace(const std::vector<SelectionEntry>& picked, const std::string& backupFolder)
    : m_backupFolder(backupFolder.empty() ? std::string() : absolute(backupFolder)) {
    for (const auto& entry : picked) {
        if (entry.isFolder)
            m_folders.push_back(absolute(entry.path));
    }
}

std::string OriginalsPlace::originalOf(const std::string& page, std::string& folder) const {
    const std::string path = absolute(page);
    if (!m_backupFolder.empty()) {
        folder = m_backupFolder;
        return joined(m_backupFolder, below(path, "/"));
    }
    std::string root = parentOf(path);
    for (const auto& picked : m_folders) {
        if (isWithin(path, picked) && picked.size() < root.size())
            root = picked; // the outermost: its originals stay beside all it holds
    }
    if (root.empty() || isRoot(root))
        return {};
    folder = root + std::string(kSuffix);
    return joined(folder, below(path, root));
}

std::vector<std::string> OriginalsPlace::candidatesFor(const std::string& page, const std::string& backupFolder) {
    const std::string path = absolute(page);
    std::vector<std::string> candidates;
    for (std::string folder = parentOf(path); !folder.empty() && !isRoot(folder); folder = parentOf(folder))
        candidates.push_back(joined(folder + std::string(kSuffix), below(path, folder)));
    if (!backupFolder.empty())
        candidates.push_back(joined(absolute(backupFolder), below(path, "/")));
    return candidates;
}

std::string OriginalsPlace::keptFolderOf(const std::string& original, const std::string& backupFolder) {
    const std::string path = absolute(original);
    if (!backupFolder.empty() && isWithin(path, absolute(backupFolder)))
        return absolute(backupFolder);
    for (std::string folder = parentOf(path); !folder.empty() && !isRoot(folder); folder = parentOf(folder)) {
        if (folder.ends_with(kSuffix))
            return folder;
    }
    return {};
}

} // namespace quillora::run
