#pragma once

#include <string>
#include <string_view>

namespace quillora::disk {

/// The platform's path separator; every path rule of the product joins and splits with it.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

/// The folder part of a path: everything up to and including its last separator; empty when it has none.
std::string getFilePathOnly(std::string_view path);

} // namespace quillora::disk
