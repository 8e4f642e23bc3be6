#pragma once

#include "engine/ProtectionOptions.h"

#include <string>
#include <string_view>
#include <system_error>

namespace quillora::run {

/// One page protected without a file around it (standard input to standard output): its set detected as for a file,
/// the same rewriting and encryption, but no frame pages to follow, nothing to place and nothing to back up.
class SinglePage {
public:
    enum class Outcome {
        Protected,
        AlreadyProtected, // out holds the page as it came
        Frameset,         // out holds the page as it came: its frames are pages of their own
        Failed,           // error says why; out is empty
    };

    static Outcome protect(const engine::ProtectionOptions& options, std::string_view page, std::string& out,
                           std::error_code& error);
};

} // namespace quillora::run
