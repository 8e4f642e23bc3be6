#pragma once

#include "PageEncoding.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillora::charset {

/// The two first steps of reading a page as a browser does: the byte-order mark, then the declaration.
class CharsetSniffer {
public:
    /// How far into the page a declaration is looked for.
    static constexpr std::size_t kPrescanLength = 1024;

    /// The set a byte-order mark at the start names (with byteOrderMark set), or nothing.
    static std::optional<PageEncoding> byteOrderMark(std::string_view bytes);
    /// The length of that byte-order mark.
    static std::size_t byteOrderMarkLength(const PageEncoding& encoding);
    /// The label of the first "charset" declared inside a "<meta" tag in the first 1024 bytes; empty if none.
    static std::string_view declaredLabel(std::string_view bytes);
};

} // namespace quillora::charset
