#pragma once

#include "PageEncoding.h"

#include <optional>
#include <string_view>

namespace quillora::charset {

/// The byte-order mark, the one place that knows its bytes: found at the start of a page (where it decides the
/// set), written back before a page that had one, and passed over when the page's text is read.
class ByteOrderMark {
public:
    /// The set a mark at the start of bytes names (with byteOrderMark set), or nothing.
    static std::optional<PageEncoding> find(std::string_view bytes);
    /// The mark of a page in the set: its bytes, empty when the page had none.
    static std::string_view of(const PageEncoding& encoding);
    /// The mark of a set whatever the page had (empty for the sets that have none).
    static std::string_view ofKind(PageEncoding::Kind kind);
    /// The bytes of a page in the set after its mark.
    static std::string_view skip(std::string_view bytes, const PageEncoding& encoding);
};

} // namespace quillora::charset
