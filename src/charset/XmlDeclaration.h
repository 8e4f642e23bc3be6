#pragma once

#include "PageEncoding.h"

#include <optional>
#include <string_view>

namespace quillora::charset {

/// The encoding an XML declaration names at the very start of a page ("<?xml ... encoding="...""), which
/// browsers take when no META declaration tells them the set.
class XmlDeclaration {
public:
    /// The set named, or nothing: no "<?xml" in lower case at the first byte, no encoding before its ">", the
    /// label unquoted or holding a blank, or a label no browser knows. A UTF-16 label means UTF-8.
    static std::optional<PageEncoding> encoding(std::string_view bytes);
    /// UTF-16 in either byte order when the page starts with "<?x" written in it and no byte-order mark.
    static std::optional<PageEncoding> utf16(std::string_view bytes);
};

} // namespace quillora::charset
