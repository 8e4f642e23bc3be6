#pragma once

#include "Project.h"

#include <string>
#include <string_view>

namespace quillora::project {

/// Writes a project as a commented project file: every key it sets, and commented lines that show the keys it
/// leaves out, so that the file is a starting point to edit. Reading the text back gives the same project.
class ProjectWriter {
public:
    static std::string write(const Project& project);

    /// A TOML basic string holding text (UTF-8) exactly.
    static std::string quote(std::string_view text);
};

} // namespace quillora::project
