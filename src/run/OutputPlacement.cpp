#include "OutputPlacement.h"

#include "ErrorNumbers.h"
#include "FileHelpers.h"
#include "RunMessages.h"
#include "engine/Paths.h"

namespace quillora::run {

namespace {

constexpr std::string_view kBackupSuffix = ".bak";
constexpr std::string_view kProtectedPrefix = "protected_";

/// The position just after the last separator of a name (0 when it has none).
std::size_t cutOf(const std::string& name) {
    const auto last = name.rfind(engine::kPathSeparator);
    return last == std::string::npos ? 0 : last + 1;
}

} // namespace

OutputPlacement::OutputPlacement(const engine::ProtectionOptions& options, FileSystem& fileSystem,
                                 RunReporter& reporter)
    : m_options(options), m_fs(fileSystem), m_reporter(reporter) {}

void OutputPlacement::reset() {
    m_knownFolders.clear();
}

std::string OutputPlacement::CollapseSeparators(std::string_view path) {
    std::string collapsed;
    collapsed.reserve(path.size());
    std::size_t i = 0;
    // A network path keeps its leading pair of backslashes; on POSIX a leading "//" means nothing special.
    if (engine::kPathSeparator == '\\' && path.starts_with("\\\\")) {
        collapsed.append(path.substr(0, 2));
        i = 2;
    }
    for (; i < path.size(); ++i) {
        collapsed.push_back(path[i]);
        if (path[i] == engine::kPathSeparator && i + 1 < path.size() && path[i + 1] == engine::kPathSeparator)
            ++i;
    }
    return collapsed;
}

bool OutputPlacement::makeBackup(const std::string& full) {
    const std::string backup = full + std::string(kBackupSuffix);
    // The read-only rule of the output applies to an old backup too: it is not silently replaced.
    FileStatus old;
    std::error_code error = m_fs.status(backup, old);
    if (!error && !old.writable)
        error = std::make_error_code(std::errc::permission_denied);
    else if (!error || error == std::errc::no_such_file_or_directory)
        error = m_fs.copyFile(full, backup); // replaces an old backup only once the new one is whole
    switch (classifyError(error)) {
    case ErrorNumber::None:
    case ErrorNumber::FileNotFound:
    case ErrorNumber::InvalidArgument:
        return true;
    case ErrorNumber::PathFileAccess:
        m_reporter.showMessage(std::string(messages::kBackupReadOnly), MessageIcon::None,
                               MessageTitle::ApplicationTitle);
        return false;
    case ErrorNumber::Other:
        break;
    }
    m_reporter.showMessage(messages::unknownError(error), MessageIcon::Exclamation, MessageTitle::MainCaption);
    return false;
}

std::string OutputPlacement::copyPath(engine::FileEntry& entry, std::size_t cut) const {
    const std::string& target = m_options.targetFolder;
    if (!entry.Folder.empty()) {
        entry.Folder = target;
        return target + engine::kPathSeparator + entry.Name;
    }
    entry.Name = target + engine::kPathSeparator + entry.Name.substr(cut);
    return entry.Name;
}

std::string OutputPlacement::besidePath(engine::FileEntry& entry, std::size_t cut) {
    std::string name = entry.Name.substr(0, cut);
    name += engine::kPathSeparator;
    name += kProtectedPrefix;
    name += entry.Name.substr(cut);
    entry.Name = CollapseSeparators(name);
    return CollapseSeparators(entry.Folder + name);
}

std::string OutputPlacement::GetOutputPath(engine::FileEntry& entry) {
    const std::size_t cut = cutOf(entry.Name);
    std::string output;
    switch (m_options.storageMode) {
    case engine::StorageMode::Overwrite:
        output = entry.fullPath();
        if (m_options.makeBackups && !makeBackup(output))
            return {};
        break;
    case engine::StorageMode::CopyToFolder:
        output = copyPath(entry, cut);
        break;
    case engine::StorageMode::CreateProtected:
        output = besidePath(entry, cut);
        break;
    }
    output = CollapseSeparators(output);
    MakeFolders(m_fs, output, &m_knownFolders);
    return output;
}

} // namespace quillora::run
