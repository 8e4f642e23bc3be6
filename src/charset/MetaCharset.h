#pragma once

#include "PageEncoding.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillora::charset {

/// What a META tag declares about the character set, read the way browsers read it: its charset attribute, or
/// a content attribute holding "charset=" together with http-equiv="Content-Type". A description or any other
/// META whose content merely mentions a charset declares nothing.
class MetaCharset {
public:
    /// The set declared by the META tag whose attributes begin at attributesAt; nothing when it declares none or
    /// names a set no browser knows.
    static std::optional<PageEncoding> declared(std::string_view bytes, std::size_t attributesAt);

    /// The label that follows "charset=" in a content attribute's value (in lower case); nothing when there is
    /// none, or when its quote is never closed.
    static std::optional<std::string_view> labelInContent(std::string_view content);

    /// The set a label declared in a page names: leading and trailing blanks do not count, and a UTF-16 label
    /// means UTF-8 (a page could not have declared it in ASCII otherwise).
    static std::optional<PageEncoding> encodingOf(std::string_view label);
};

} // namespace quillora::charset
