#pragma once

#include "TextSearch.h"

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::engine {

/// Finds tag keys in page text the way a browser sees the markup: a key that begins inside a comment, or inside
/// the contents of a script, style or textarea element, is not markup and is passed over. The text is read from
/// its start, lazily, as far as the searches need. Unit is char16_t for code units, char for the bytes of a page
/// whose set writes every ASCII character as its one byte.
template <typename Unit> class BasicMarkupScanner {
public:
    using Text = std::basic_string_view<Unit>;

    explicit BasicMarkupScanner(Text text) : m_text(text) {}

    /// The first markup match of key at or after from that ends by `end`; with wholeName the next character must
    /// end the tag name.
    std::size_t find(std::string_view key, std::size_t from, bool wholeName = false, std::size_t end = kNotFound);
    /// The last markup match of key that begins before `before` and not before `floor`.
    std::size_t rfind(std::string_view key, std::size_t before, std::size_t floor = 0);
    /// True when pos lies in markup, outside comments and raw-text contents.
    bool isMarkup(std::size_t pos);

    /// The ">" that ends the tag starting at tagStart, passing over ">" inside quoted attribute values.
    static std::size_t tagEnd(Text text, std::size_t tagStart);

private:
    using Span = std::pair<std::size_t, std::size_t>; // [begin, end) of text that is not markup

    void scanThrough(std::size_t pos);
    std::size_t scanConstruct(std::size_t lt);
    const Span* spanAt(std::size_t pos);

    Text m_text;
    std::vector<Span> m_skipped;
    std::size_t m_noTagEndFrom = kNotFound; // no ">" follows this position
    std::size_t m_frontier = 0;             // everything before it is classified
};

using MarkupScanner = BasicMarkupScanner<char16_t>;
using ByteMarkupScanner = BasicMarkupScanner<char>;

extern template class BasicMarkupScanner<char16_t>;
extern template class BasicMarkupScanner<char>;

} // namespace quillora::engine
