#include "OutputPlacement.h"

#include "FileHelpers.h"
#include "disk/Paths.h"

namespace quillora::run {

namespace {

constexpr std::string_view kBackupSuffix = ".bak";
constexpr std::string_view kProtectedPrefix = "protected_";

/// The position just after the last separator of a name (0 when it has none).
std::size_t cutOf(const std::string& name) {
    const auto last = name.rfind(disk::kPathSeparator);
    return last == std::string::npos ? 0 : last + 1;
}

} // namespace

OutputPlacement::OutputPlacement(const engine::ProtectionOptions& options, disk::FileSystem& fileSystem)
    : m_options(options), m_fs(fileSystem) {}

void OutputPlacement::reset() {
    m_knownFolders.clear();
}

std::string OutputPlacement::CollapseSeparators(std::string_view path) {
    std::string collapsed;
    collapsed.reserve(path.size());
    std::size_t i = 0;
    // A network path keeps its leading pair of backslashes; on POSIX a leading "//" means nothing special.
    if (disk::kPathSeparator == '\\' && path.starts_with("\\\\")) {
        collapsed.append(path.substr(0, 2));
        i = 2;
    }
    for (; i < path.size(); ++i) {
        collapsed.push_back(path[i]);
        if (path[i] == disk::kPathSeparator && i + 1 < path.size() && path[i + 1] == disk::kPathSeparator)
            ++i;
    }
    return collapsed;
}

std::string OutputPlacement::copyPath(FileEntry& entry, std::size_t cut) const {
    const std::string& target = m_options.targetFolder;
    if (!entry.Folder.empty()) {
        entry.Folder = target;
        return target + disk::kPathSeparator + entry.Name;
    }
    entry.Name = target + disk::kPathSeparator + entry.Name.substr(cut);
    return entry.Name;
}

std::string OutputPlacement::besidePath(FileEntry& entry, std::size_t cut) {
    std::string name = entry.Name.substr(0, cut);
    name += disk::kPathSeparator;
    name += kProtectedPrefix;
    name += entry.Name.substr(cut);
    entry.Name = CollapseSeparators(name);
    return CollapseSeparators(entry.Folder + name);
}

std::string OutputPlacement::place(FileEntry& entry) const {
    const std::size_t cut = cutOf(entry.Name);
    switch (m_options.storageMode) {
    case engine::StorageMode::Overwrite:
        return CollapseSeparators(entry.fullPath());
    case engine::StorageMode::CopyToFolder:
        return CollapseSeparators(copyPath(entry, cut));
    case engine::StorageMode::CreateProtected:
        return CollapseSeparators(besidePath(entry, cut));
    }
    return {};
}

std::string OutputPlacement::GetOutputPath(FileEntry& entry) {
    std::string output = place(entry);
    MakeFolders(m_fs, output, &m_knownFolders);
    return output;
}

std::string OutputPlacement::outputPathOf(const FileEntry& entry) const {
    FileEntry copy = entry;
    return place(copy);
}

std::string OutputPlacement::backupPathOf(const std::string& output) const {
    if (m_options.storageMode != engine::StorageMode::Overwrite || !m_options.makeBackups)
        return {};
    return output + std::string(kBackupSuffix);
}

} // namespace quillora::run
