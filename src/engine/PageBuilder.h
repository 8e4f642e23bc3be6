#pragma once

#include "PageCharset.h"
#include "TextSearch.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::engine {

/// Output ranges [begin, end) of text the engine wrote itself: writer calls, and tags it added.
using WrittenRanges = std::vector<std::pair<std::size_t, std::size_t>>;

/// Builds a protected page from copied stretches of the original and encoded spans, and can put a text (the
/// header) into the copy at a given position of the original on the way, which spares moving the whole result
/// afterwards. The text goes in only while nothing has been encoded before that position.
template <typename Unit> class BasicPageBuilder {
public:
    using Text = std::basic_string_view<Unit>;

    BasicPageBuilder(std::basic_string<Unit>& out, Text original, const PageCharset<Unit>& charset)
        : m_out(out), m_original(original), m_charset(charset) {}

    /// Puts text in front of the original's position `at` while copying, if no span before it is encoded.
    void insertWhileCopying(std::size_t at, Text text) {
        m_insertAt = at;
        m_insertion = text;
        m_state = Insertion::Pending;
    }
    /// Counts the original's [begin, end) as written by the engine (a tag it put in) once it is copied.
    void countAsWritten(std::size_t begin, std::size_t end) { m_ownText = {begin, end}; }
    /// Copies the original from `from` up to `to`.
    void copy(std::size_t from, std::size_t to);
    /// Appends the script-aware encoding of a text.
    void encode(Text span);
    /// Appends text that is already in its final form.
    void append(Text text);
    /// True when the insertion was made.
    bool inserted() const { return m_state == Insertion::Done; }
    /// Where in the output the insertion was made.
    std::size_t insertedAt() const { return m_insertedAt; }
    /// Where in the output the first encoded span begins (kNotFound while there is none).
    std::size_t firstEncoded() const { return m_firstEncoded; }
    /// What the engine wrote, in output positions, in order.
    const WrittenRanges& written() const { return m_written; }
    const PageCharset<Unit>& charset() const { return m_charset; }

private:
    enum class Insertion { None, Pending, Done, Missed };

    std::basic_string<Unit>& m_out;
    Text m_original;
    const PageCharset<Unit>& m_charset;
    std::size_t m_insertAt = 0;
    std::size_t m_insertedAt = kNotFound;
    std::size_t m_firstEncoded = kNotFound;
    Text m_insertion;
    Insertion m_state = Insertion::None;
    std::pair<std::size_t, std::size_t> m_ownText{kNotFound, kNotFound};
    WrittenRanges m_written;
};

using PageBuilder = BasicPageBuilder<char16_t>;

extern template class BasicPageBuilder<char16_t>;
extern template class BasicPageBuilder<char>;

} // namespace quillora::engine
