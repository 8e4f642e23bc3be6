#pragma once

#include "engine/Doctype.h"
#include "engine/TextSearch.h"

#include <cstddef>
#include <string>
#include <string_view>

// Plain-text reading of page markup, the same on page bytes (ASCII-compatible sets) and on UTF-16 text.
namespace quillora::unlock::markup {

/// Where the ASCII key (compared exactly) next stands in text from a position on.
template <class Char> std::size_t findAscii(std::basic_string_view<Char> text, std::string_view key, std::size_t from) {
    const std::basic_string<Char> needle(key.begin(), key.end());
    return text.find(needle, from);
}

/// A tag name ends at a blank, "/" or ">" (or the end of the text).
template <class Char> bool endsTagName(std::basic_string_view<Char> text, std::size_t i) {
    return i >= text.size() || engine::endsTagName(text[i]);
}

/// The DOCTYPE a page begins with (as a browser finds it), as written; false when it has none (a browser shows the
/// page in quirks mode).
template <class Char> bool leadingDoctype(std::basic_string_view<Char> text, std::string& doctype) {
    const engine::DoctypeSpan span = engine::leadingDoctype(text);
    if (span.end == 0)
        return false;
    doctype.clear();
    for (std::size_t i = span.begin; i < span.end; ++i) {
        if (text[i] >= 0x80 || text[i] == 0) {
            doctype = "<!DOCTYPE html>"; // identifiers outside ASCII mean nothing to a browser's mode
            return true;
        }
        doctype += static_cast<char>(text[i]);
    }
    return true;
}

} // namespace quillora::unlock::markup
