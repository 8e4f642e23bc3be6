#pragma once

#include <cstddef>
#include <string>

namespace quillora::project {

/// No password is this long; a file without a line break (or /dev/zero) is not read on and on.
inline constexpr std::size_t kLongestPasswordLine = std::size_t{64} * 1024;

/// The first line of a file, without its line end (and without a UTF-8 byte-order mark): a password kept in a file.
bool readFirstLine(const std::string& path, std::string& line, std::string& error);
/// The same read from an open descriptor (standard input, for one); what passed through the buffer is wiped.
bool readFirstLine(int fd, std::string& line, std::string& error);

} // namespace quillora::project
