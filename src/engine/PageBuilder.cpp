#include "PageBuilder.h"

#include "ContentEncoding.h"

namespace quillora::engine {

void PageBuilder::copy(std::size_t from, std::size_t to) {
    if (m_state == Insertion::Pending && from <= m_insertAt && m_insertAt <= to) {
        m_out += m_original.substr(from, m_insertAt - from);
        m_out += m_insertion;
        m_state = Insertion::Done;
        from = m_insertAt;
    }
    m_out += m_original.substr(from, to - from);
}

void PageBuilder::encode(std::u16string_view span) {
    if (m_state == Insertion::Pending) {
        m_state = Insertion::Missed;
    }
    AppendEncodedWithScripts(m_out, span);
}

void PageBuilder::append(std::u16string_view text) {
    if (m_state == Insertion::Pending && !text.empty()) {
        m_state = Insertion::Missed;
    }
    m_out += text;
}

} // namespace quillora::engine
