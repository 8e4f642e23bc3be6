#pragma once

#include "PageEncoding.h"

#include <string>
#include <string_view>

namespace quillora::charset {

/// A page's text and the set it was stored in.
struct DecodedPage {
    std::u16string text;
    PageEncoding encoding;
};

/// Reads page bytes into text the way a browser will: the set the bytes declare (UTF-8 whatever the bytes hold,
/// any other set when they are valid in it), then valid UTF-8 that is not all ASCII, then the set a browser would
/// guess for an undeclared page, else Windows-1252.
class PageDecoder {
public:
    /// Decodes a page; the bytes are taken over and released once decoded.
    static DecodedPage decode(std::string_view bytes);
    /// The set a browser reads the bytes in, without keeping their text.
    static PageEncoding encodingOf(std::string_view bytes);
    /// The text of bytes (after any byte-order mark) in a set; UTF-8 with U+FFFD for invalid sequences. False
    /// when the set cannot read them.
    static bool decodeText(const PageEncoding& encoding, std::string_view bytes, std::u16string& text);
    /// True when the bytes are valid UTF-8; sawNonAscii tells whether any byte above 0x7F was met.
    static bool isValidUtf8(std::string_view bytes, bool& sawNonAscii);

    /// UTF-8 as a browser decodes it, the one rule for invalid bytes here: each maximal part of an invalid sequence
    /// that could have begun a valid one becomes one U+FFFD.
    static void decodeUtf8AsBrowsers(std::string_view bytes, std::u16string& text);
    static void decodeWindows1252(std::string_view bytes, std::u16string& text);
    /// UTF-16 code units as stored; an odd last byte becomes U+FFFD.
    static void decodeUtf16(std::string_view bytes, bool bigEndian, std::u16string& text);
    /// Any other set through its converter; false when the converter is missing or a byte sequence is invalid.
    static bool decodeWithConverter(const std::string& converterName, std::string_view bytes, std::u16string& text);

    /// True when the converter reads every byte sequence of the bytes.
    static bool validWithConverter(const std::string& converterName, std::string_view bytes);
};

} // namespace quillora::charset
