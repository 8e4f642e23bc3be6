#pragma once

#include "PageBuilder.h"
#include "PageCharset.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora::engine {

/// How far into a file browsers look for a character-set declaration, in bytes.
inline constexpr std::size_t kPrescanBytes = 1024;

/// Where the header went into the output: its position and length, with the head made around it, if any.
struct Placement {
    std::size_t at;
    std::size_t length;
};

/// The header in a head of its own, in an html element of its own too when the page has none.
template <typename Unit> std::basic_string<Unit> headerInNewHead(std::basic_string_view<Unit> header, bool withHtml);

/// Puts the header into the page that starts at out[from]: after the head tag, else in a new head after the
/// html tag, else in a new head in front of the page (behind a leading DOCTYPE). Where that tag's end lies inside
/// text the engine wrote (`written`, in order), the header goes in front of the first of it instead.
template <typename Unit>
Placement placeHeader(std::basic_string<Unit>& out, std::size_t from, std::basic_string_view<Unit> header,
                      const WrittenRanges& written = {});

/// The first META tag that declares a character set where a browser looks for one, or nothing.
template <typename Unit>
std::basic_string<Unit> charsetDeclaration(std::basic_string_view<Unit> text, const PageCharset<Unit>& charset);

/// When the header pushed the page's META declaration of its character set past the bytes a browser looks at,
/// the header moves to directly after that tag; not when a writer call before the tag needs it first.
/// The page starts at out[pageStart]; the file holds bytesBefore bytes in front of out.
template <typename Unit>
void keepCharsetInReach(std::basic_string<Unit>& out, std::size_t pageStart, Placement header, std::size_t firstEncoded,
                        std::size_t bytesBefore, const PageCharset<Unit>& charset);

} // namespace quillora::engine
