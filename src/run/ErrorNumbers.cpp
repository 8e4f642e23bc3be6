#include "ErrorNumbers.h"

#include <cerrno>

namespace quillora::run {

ErrorNumber classifyError(std::error_code error) {
    if (!error)
        return ErrorNumber::None;
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return ErrorNumber::Other;
    switch (error.value()) {
    case ENOENT:
        return ErrorNumber::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorNumber::PathFileAccess;
    case EINVAL:
        return ErrorNumber::InvalidArgument;
    default:
        return ErrorNumber::Other;
    }
}

} // namespace quillora::run
