#include "PageBuilder.h"

#include "ContentEncoding.h"

#include <algorithm>

namespace quillora::engine {

template <typename Unit> void BasicPageBuilder<Unit>::copy(std::size_t from, std::size_t to) {
    if (m_state == Insertion::Pending && from <= m_insertAt && m_insertAt <= to) {
        m_out += m_original.substr(from, m_insertAt - from);
        m_insertedAt = m_out.size();
        m_out += m_insertion;
        m_state = Insertion::Done;
        from = m_insertAt;
    }
    if (const auto [begin, end] = m_ownText; from <= begin && begin < to) {
        const std::size_t at = m_out.size() + (begin - from);
        m_written.emplace_back(at, at + (std::min(end, to) - begin));
    }
    m_out += m_original.substr(from, to - from);
}

template <typename Unit> void BasicPageBuilder<Unit>::encode(Text span) {
    if (m_state == Insertion::Pending) {
        m_state = Insertion::Missed;
    }
    if (m_firstEncoded == kNotFound) {
        m_firstEncoded = m_out.size();
    }
    const std::size_t begin = m_out.size();
    AppendEncodedWithScripts(m_out, span, m_charset);
    m_written.emplace_back(begin, m_out.size());
}

template <typename Unit> void BasicPageBuilder<Unit>::append(Text text) {
    if (m_state == Insertion::Pending && !text.empty()) {
        m_state = Insertion::Missed;
    }
    if (text.empty()) {
        return;
    }
    if (m_firstEncoded == kNotFound) {
        m_firstEncoded = m_out.size(); // new text holds writer calls
    }
    m_written.emplace_back(m_out.size(), m_out.size() + text.size());
    m_out += text;
}

template class BasicPageBuilder<char16_t>;
template class BasicPageBuilder<char>;

} // namespace quillora::engine
