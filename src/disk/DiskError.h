#pragma once

#include <system_error>

namespace quillora::disk {

/// Failures the disk finds itself, beside the system's.
enum class DiskError {
    NotARegularFile = 1, // a pipe, socket, device or folder named like a page
    ChangedDuringRun,    // another program put a new file in the page's (or its backup's) place meanwhile
};

const std::error_category& diskErrorCategory();
std::error_code make_error_code(DiskError error);

} // namespace quillora::disk

template <> struct std::is_error_code_enum<quillora::disk::DiskError> : std::true_type {};
