#pragma once

#include "TextSearch.h"

#include <cstddef>
#include <string_view>

namespace quillora::engine {

/// The end of the comment that opens at lt ("<!--"), as a browser ends it: after "-->" or "--!>", or at once for
/// "<!-->" and "<!--->"; kNotFound when it is never closed (it then runs to the end of the text).
template <typename Unit> std::size_t commentEnd(std::basic_string_view<Unit> text, std::size_t lt) {
    const std::size_t inner = lt + 4;
    if (matchesAt(text, ">", inner))
        return inner + 1;
    if (matchesAt(text, "->", inner))
        return inner + 2;
    for (std::size_t dashes = findIgnoreCase(text, "--", inner); dashes != kNotFound;
         dashes = findIgnoreCase(text, "--", dashes + 1)) {
        if (matchesAt(text, ">", dashes + 2))
            return dashes + 3;
        if (matchesAt(text, "!>", dashes + 2))
            return dashes + 4;
    }
    return kNotFound;
}

} // namespace quillora::engine
