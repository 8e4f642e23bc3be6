#pragma once

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

/// Moves past ASCII blanks and comments, which may stand before a DOCTYPE.
template <class Char> std::size_t skipBlanksAndComments(std::basic_string_view<Char> text) {
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' || text[i] == '\f'))
            ++i;
        if (!engine::matchesAt(text, "<!--", i))
            return i;
        const std::size_t close = findAscii(text, "-->", i + 4);
        if (close == std::basic_string_view<Char>::npos)
            return i;
        i = close + 3;
    }
}

/// The DOCTYPE a page begins with, as written; false when it has none (a browser shows it in quirks mode).
template <class Char> bool leadingDoctype(std::basic_string_view<Char> text, std::string& doctype) {
    const std::size_t at = skipBlanksAndComments(text);
    if (!engine::matchesAt(text, "<!doctype", at))
        return false;
    const std::size_t gt = text.find(Char('>'), at);
    if (gt == std::basic_string_view<Char>::npos)
        return false;
    doctype.clear();
    for (std::size_t i = at; i <= gt; ++i) {
        if (text[i] >= 0x80 || text[i] == 0) {
            doctype = "<!DOCTYPE html>"; // identifiers outside ASCII mean nothing to a browser's mode
            return true;
        }
        doctype += static_cast<char>(text[i]);
    }
    return true;
}

} // namespace quillora::unlock::markup
