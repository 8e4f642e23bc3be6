#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillora::run {

/// Which frame addresses of a frameset the run follows: a relative address without a scheme ("https:",
/// "javascript:", "//host", ...) that names a ".htm" or ".html" file. The "#..." and "?..." parts are dropped
/// and %XX escapes decoded. Whether the file lies inside the picked folder is checked by the run.
class FrameAddress {
public:
    /// The file path the address names relative to its frameset's folder (UTF-8, native separators),
    /// or nothing when the address is not followed.
    static std::optional<std::string> localPath(std::u16string_view address);

private:
    static std::string cleaned(std::u16string_view address);
    static bool hasScheme(std::string_view address);
    static std::optional<std::string> percentDecoded(std::string_view address);
};

} // namespace quillora::run
