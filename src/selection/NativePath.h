#pragma once

#include <QString>
#include <string>

namespace quillora::selection {

/// A path as the lower layers hold it: the file system's own bytes.
std::string toNativePath(const QString& path);
/// A path from the lower layers as the window shows it.
QString fromNativePath(const std::string& path);

} // namespace quillora::selection
