#include "Paths.h"

namespace quillora::disk {

std::string getFilePathOnly(std::string_view path) {
    const auto last = path.rfind(kPathSeparator);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

} // namespace quillora::disk
