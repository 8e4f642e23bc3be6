#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora::engine {

/// Builds a protected page from copied stretches of the original and encoded spans, and can put a text (the
/// header) into the copy at a given position of the original on the way, which spares moving the whole result
/// afterwards. The text goes in only while nothing has been encoded before that position.
class PageBuilder {
public:
    PageBuilder(std::u16string& out, std::u16string_view original) : m_out(out), m_original(original) {}

    /// Puts text in front of the original's position `at` while copying, if no span before it is encoded.
    void insertWhileCopying(std::size_t at, std::u16string_view text) {
        m_insertAt = at;
        m_insertion = text;
        m_state = Insertion::Pending;
    }
    /// Copies the original from `from` up to `to`.
    void copy(std::size_t from, std::size_t to);
    /// Appends the script-aware encoding of a text.
    void encode(std::u16string_view span);
    /// Appends text that is already in its final form.
    void append(std::u16string_view text);
    /// True when the insertion was made.
    bool inserted() const { return m_state == Insertion::Done; }

private:
    enum class Insertion { None, Pending, Done, Missed };

    std::u16string& m_out;
    std::u16string_view m_original;
    std::size_t m_insertAt = 0;
    std::u16string_view m_insertion;
    Insertion m_state = Insertion::None;
};

} // namespace quillora::engine
