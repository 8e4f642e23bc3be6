#pragma once

#include "TextSearch.h"

#include <cstddef>
#include <string_view>

namespace quillora::engine {

/// Where the "<!DOCTYPE ...>" a page begins with stands: [begin, end). A page that has none has begin kNotFound and
/// end 0 (a browser shows it in quirks mode).
struct DoctypeSpan {
    std::size_t begin = kNotFound;
    std::size_t end = 0;
};

/// The DOCTYPE a page begins with, found as a browser finds it: before it, the browser passes over blanks (space,
/// tab, line feed, form feed, carriage return), NUL characters and comments, the bogus ones too ("<?...>", "<!...>",
/// "</ ...>"); anything else first, or a comment never closed, and the page has none.
template <typename Unit> DoctypeSpan leadingDoctype(std::basic_string_view<Unit> text);

/// Where what must stay first for the browser's mode ends: the leading DOCTYPE with all that stands before it; 0 when
/// the page has none.
template <typename Unit> std::size_t leadingDoctypeLength(std::basic_string_view<Unit> text) {
    return leadingDoctype(text).end;
}

} // namespace quillora::engine
