#pragma once

#include "Project.h"

#include <string>
#include <string_view>

namespace quillora::project {

/// Reads a project file (TOML) and checks it whole before anything else happens: unknown keys, values of the wrong
/// kind, bad patterns and choices that cannot go together are refused with the file, the line, what is wrong and
/// what to write instead ("site/quillora.toml:7: ...").
class ProjectFile {
public:
    /// The name a project file has at a site's root.
    static constexpr std::string_view kFileName = "quillora.toml";
    /// Files longer than this are not project files.
    static constexpr std::size_t kLongestFile = std::size_t{1} << 20;

    /// Reads and checks the file at path; false with the message in error.
    static bool read(const std::string& path, Project& project, std::string& error);
    /// Checks the text of a file; path names it in messages, and its folder is the project's root.
    static bool parse(std::string_view text, const std::string& path, Project& project, std::string& error);
};

} // namespace quillora::project
