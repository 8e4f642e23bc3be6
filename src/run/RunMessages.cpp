#include "RunMessages.h"

namespace quillora::run::messages {

std::string filesProtected(std::size_t count) {
    return "The following " + std::to_string(count) + " files have been protected";
}

std::string unableToAccessFile(std::string_view path) {
    std::string text = "Unable to Access File: ";
    text.append(path);
    text.append(".");
    text.append(kLineBreak);
    text.append("The file may be read-only.");
    return text;
}

std::string unknownError(std::error_code error) {
    std::string text = "Unknown Error " + std::to_string(error.value());
    text.append(kLineBreak);
    text.append(error.message());
    return text;
}

} // namespace quillora::run::messages
