#include "FileHelpers.h"

#include "ErrorNumbers.h"
#include "disk/Paths.h"

namespace quillora::run {

void MakeFolders(disk::FileSystem& fileSystem, std::string_view path, std::unordered_set<std::string>* known) {
    const auto last = path.rfind(disk::kPathSeparator);
    if (last == std::string_view::npos)
        return;
    if (known != nullptr && known->count(std::string(path.substr(0, last + 1))) != 0)
        return; // the whole folder part was made or found before
    for (auto p = path.find(disk::kPathSeparator); p != std::string_view::npos;
         p = path.find(disk::kPathSeparator, p + 1)) {
        std::string folder(path.substr(0, p + 1));
        if (known != nullptr && known->count(folder) != 0)
            continue;
        const std::error_code error = fileSystem.createFolder(folder);
        const ErrorNumber number = classifyError(error);
        const bool passedOver = !error || error == std::errc::file_exists || error == std::errc::is_a_directory ||
                                number == ErrorNumber::InvalidArgument || number == ErrorNumber::PathFileAccess;
        if (!passedOver)
            return;
        if (known != nullptr && (!error || error == std::errc::file_exists))
            known->insert(std::move(folder));
    }
}

bool IsPageFileName(std::string_view name) {
    return name.ends_with(".htm") || name.ends_with(".html");
}

bool IsProjectOwnName(std::string_view name) {
    return name == kProjectFileName || name == kManifestFileName;
}

} // namespace quillora::run
