#pragma once

#include <string>
#include <system_error>

namespace quillora::run {

/// The classic error numbers the run's messages are told apart by.
enum class ErrorNumber {
    None = 0,
    InvalidArgument = 5, // invalid procedure call or argument
    FileNotFound = 53,
    PathFileAccess = 75, // path/file access error: access refused, read-only
    Other = -1,          // reported with the system's own number and description
};

/// The classic number of a system error.
ErrorNumber classifyError(std::error_code error);

} // namespace quillora::run
