#pragma once

#include "disk/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace quillora::run {

/// Creates every folder named along a path, up to its last separator; the file name is never created.
/// Failures are silent: a folder that exists or cannot be accessed is passed over, anything else stops.
/// Folders listed in known are taken as existing; the ones found or made are added to it.
void MakeFolders(disk::FileSystem& fileSystem, std::string_view path, std::unordered_set<std::string>* known = nullptr);

/// True when the reference is empty.
template <typename T> bool IsNothing(const T* object) {
    return object == nullptr;
}

/// The first value when the second is smaller than it, otherwise the second.
inline std::int32_t MaxOf(std::int32_t first, std::int32_t second) {
    return second < first ? first : second;
}

/// True when a file name ends exactly in ".htm" or ".html" (letter case counts).
bool IsPageFileName(std::string_view name);

/// The project file found at a site's root.
inline constexpr std::string_view kProjectFileName = "quillora.toml";
/// The record an incremental copy keeps in its target.
inline constexpr std::string_view kManifestFileName = ".quillora-manifest";
/// True for the project file and the manifest, which a copy never takes along.
bool IsProjectOwnName(std::string_view name);

} // namespace quillora::run
