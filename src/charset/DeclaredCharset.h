#pragma once

#include "PageEncoding.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillora::charset {

/// Where the bytes of a page tell a browser the set to read them in.
enum class CharsetSource {
    ByteOrderMark,
    Utf16XmlDeclaration, // "<?x" written in UTF-16, without a byte-order mark
    Prescan,             // a META declaration that starts in the first 1024 bytes
    HeadMeta,            // a later one, while the page is still in its head
    XmlDeclaration,      // the encoding of an XML declaration at the first byte
};

struct CharsetDeclaration {
    PageEncoding encoding;
    CharsetSource source;
};

/// The rules by which browsers take a page's set from its bytes, before they would guess it, in the order they
/// apply them. A META declaration counts where browsers find one: any META tag that starts in the first 1024
/// bytes (comments, bogus comments and the text of raw-text elements are no markup), and past them while the page
/// is still in its head. The head is read as Chromium reads it; Firefox also looks on past basefont, bgsound,
/// noframes and end tags of other elements, and stops at object.
class DeclaredCharset {
public:
    static constexpr std::size_t kPrescanLength = 1024;

    /// The set the page's bytes declare and the rule that found it; nothing when they declare none.
    static std::optional<CharsetDeclaration> of(std::string_view bytes);
    /// The set the page's META tags declare where a browser takes it, and whether it came from the prescan.
    static std::optional<CharsetDeclaration> ofMeta(std::string_view bytes);
};

} // namespace quillora::charset
