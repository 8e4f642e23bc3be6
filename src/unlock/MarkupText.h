#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Plain-text reading of page markup, the same on page bytes (ASCII-compatible sets) and on UTF-16 text.
namespace quillora::unlock::markup {

/// ASCII letters in lower case; every other character as it is.
template <class Char> Char lowerAscii(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

/// Whether text holds the ASCII key at i, letters compared without regard to case.
template <class Char> bool holdsAt(std::basic_string_view<Char> text, std::size_t i, std::string_view key) {
    if (i > text.size() || text.size() - i < key.size())
        return false;
    for (std::size_t k = 0; k < key.size(); ++k) {
        if (lowerAscii(text[i + k]) != static_cast<Char>(key[k]))
            return false;
    }
    return true;
}

/// Where the ASCII key (compared exactly) next stands in text from a position on.
template <class Char> std::size_t findAscii(std::basic_string_view<Char> text, std::string_view key, std::size_t from) {
    const std::basic_string<Char> needle(key.begin(), key.end());
    return text.find(needle, from);
}

/// A tag name ends at a blank, "/" or ">" (or the end of the text).
template <class Char> bool endsTagName(std::basic_string_view<Char> text, std::size_t i) {
    if (i >= text.size())
        return true;
    const Char c = text[i];
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '/' || c == '>';
}

/// Moves past ASCII blanks and comments, which may stand before a DOCTYPE.
template <class Char> std::size_t skipBlanksAndComments(std::basic_string_view<Char> text) {
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' || text[i] == '\f'))
            ++i;
        if (!holdsAt(text, i, "<!--"))
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
    if (!holdsAt(text, at, "<!doctype"))
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
