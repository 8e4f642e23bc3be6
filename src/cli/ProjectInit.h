#pragma once

#include "project/Project.h"

#include <filesystem>
#include <string>

namespace quillora::cli {

struct CommandLineRequest;

/// quillora-cli --init: a commented project file made from the options given, written where the site is.
class ProjectInit {
public:
    /// Where the file goes: --config FILE, else quillora.toml in the one folder named, else in the working folder.
    static bool destination(const CommandLineRequest& request, std::string& file, std::string& error);
    /// The project the options describe, for a file at file.
    static project::Project projectOf(const CommandLineRequest& request, const std::string& file);
    /// A path below the working folder as relative to it, as a person would have typed it.
    static std::string shortPath(const std::filesystem::path& path);
    /// Writes the file, never over an existing one; false with the reason in error.
    static bool write(const CommandLineRequest& request, const std::string& file, std::string& error);
};

} // namespace quillora::cli
