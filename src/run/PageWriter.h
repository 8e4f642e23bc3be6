#pragma once

#include "FileSystem.h"

#include <string>
#include <string_view>
#include <system_error>

namespace quillora::run {

/// Writes a page over its output path so that a failure at any step leaves the old file as it was: the text
/// goes to a temporary file in the output's folder, which is flushed and then renamed over the output. The
/// old file's permission bits are kept; a symbolic link is written through to its target; an existing file
/// without write permission is refused with EACCES.
class PageWriter {
public:
    explicit PageWriter(FileSystem& fileSystem);

    /// Writes the bytes to path; written is the identity of the file now at path.
    std::error_code write(const std::string& path, std::string_view bytes, FileIdentity& written);

private:
    /// Where the bytes really go (a link's target), and the status of the file there, if any.
    std::error_code resolveTarget(const std::string& path, std::string& target, FileStatus& existing, bool& exists);

    FileSystem& m_fs;
};

} // namespace quillora::run
