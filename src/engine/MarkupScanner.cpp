#include "MarkupScanner.h"

#include <algorithm>

namespace quillora::engine {

namespace {

struct RawTextElement {
    std::u16string_view open;  // "<script"
    std::u16string_view close; // "</script"
};

constexpr RawTextElement kRawTextElements[] = {
    {u"<script", u"</script"},
    {u"<style", u"</style"},
    {u"<textarea", u"</textarea"},
};

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

std::size_t MarkupScanner::tagEnd(std::u16string_view text, std::size_t tagStart) {
    const std::size_t n = text.size();
    for (std::size_t i = tagStart; i < n; ++i) {
        i = findEither(text, u'>', u'=', i);
        if (i == kNotFound || text[i] == u'>') {
            return i;
        }
        std::size_t v = i + 1;
        while (v < n && isBlank(text[v])) {
            ++v;
        }
        if (v < n && (text[v] == u'"' || text[v] == u'\'')) {
            const std::size_t close = findChar(text, text[v], v + 1);
            if (close == kNotFound) {
                // An unclosed quote does not hide the tag's end.
                return findChar(text, u'>', tagStart);
            }
            i = close;
        } else {
            i = v - 1;
        }
    }
    return kNotFound;
}

std::size_t MarkupScanner::scanConstruct(std::size_t lt) {
    const std::size_t n = m_text.size();
    if (matchesAt(m_text, u"<!--", lt)) {
        // "<!-->" and "<!--->" already close the comment, as in a browser.
        const std::size_t close = findIgnoreCase(m_text, u"-->", lt + 2);
        const std::size_t end = close == kNotFound ? n : close + 3;
        m_skipped.emplace_back(lt, end);
        return end;
    }
    const bool endTag = lt + 1 < n && m_text[lt + 1] == u'/';
    const std::size_t name = endTag ? lt + 2 : lt + 1;
    if (name >= n || !isAsciiLetter(m_text[name])) {
        return lt + 1;
    }
    const std::size_t gt = lt >= m_noTagEndFrom ? kNotFound : tagEnd(m_text, lt);
    if (gt == kNotFound) {
        // No ">" follows: this tag, and every later one, has no end.
        m_noTagEndFrom = std::min(m_noTagEndFrom, lt);
        return lt + 1;
    }
    // What stands between a tag's name and its end is attribute text, as in onclick="w('<a href=x>')".
    if (findChar(m_text.substr(0, gt), u'<', lt + 1) != kNotFound) {
        m_skipped.emplace_back(lt + 1, gt);
    }
    if (!endTag) {
        for (const auto& element : kRawTextElements) {
            const std::size_t after = lt + element.open.size();
            if (after < n && matchesAt(m_text, element.open, lt) && endsTagName(m_text[after])) {
                const std::size_t close = findIgnoreCase(m_text, element.close, gt + 1);
                const std::size_t contentEnd = close == kNotFound ? n : close;
                if (contentEnd > gt + 1) {
                    m_skipped.emplace_back(gt + 1, contentEnd);
                }
                return std::max(contentEnd, gt + 1);
            }
        }
    }
    return gt + 1;
}

void MarkupScanner::scanThrough(std::size_t pos) {
    while (m_frontier <= pos && m_frontier < m_text.size()) {
        const std::size_t lt = findChar(m_text, u'<', m_frontier);
        if (lt == kNotFound) {
            m_frontier = m_text.size();
            return;
        }
        m_frontier = scanConstruct(lt);
    }
}

const MarkupScanner::Span* MarkupScanner::spanAt(std::size_t pos) {
    scanThrough(pos);
    auto it = std::upper_bound(m_skipped.begin(), m_skipped.end(), pos,
                               [](std::size_t p, const Span& s) { return p < s.first; });
    if (it == m_skipped.begin()) {
        return nullptr;
    }
    --it;
    return pos < it->second ? &*it : nullptr;
}

bool MarkupScanner::isMarkup(std::size_t pos) {
    return spanAt(pos) == nullptr;
}

std::size_t MarkupScanner::find(std::u16string_view key, std::size_t from, bool wholeName, std::size_t end) {
    const std::u16string_view range = m_text.substr(0, end);
    while (from < range.size()) {
        const std::size_t p = findIgnoreCase(range, key, from);
        if (p == kNotFound) {
            return kNotFound;
        }
        const std::size_t after = p + key.size();
        if (wholeName && (after >= m_text.size() || !endsTagName(m_text[after]))) {
            from = p + 1;
            continue;
        }
        if (const Span* span = spanAt(p)) {
            from = span->second;
            continue;
        }
        return p;
    }
    return kNotFound;
}

std::size_t MarkupScanner::rfind(std::u16string_view key, std::size_t before, std::size_t floor) {
    while (before > floor) {
        const std::size_t p = rfindIgnoreCase(m_text, key, before, floor);
        if (p == kNotFound) {
            return kNotFound;
        }
        const Span* span = spanAt(p);
        if (span == nullptr) {
            return p;
        }
        before = span->first;
    }
    return kNotFound;
}

} // namespace quillora::engine
