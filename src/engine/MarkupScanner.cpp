#include "MarkupScanner.h"

#include <algorithm>

namespace quillora::engine {

namespace {

struct RawTextElement {
    std::string_view open;  // "<script"
    std::string_view close; // "</script"
};

constexpr RawTextElement kRawTextElements[] = {
    {"<script", "</script"},
    {"<style", "</style"},
    {"<textarea", "</textarea"},
};

template <typename Unit> bool isBlank(Unit c) {
    return c == Unit(' ') || c == Unit('\t') || c == Unit('\r') || c == Unit('\n') || c == Unit('\f');
}

template <typename Unit> bool isAsciiLetter(Unit c) {
    return (c >= Unit('a') && c <= Unit('z')) || (c >= Unit('A') && c <= Unit('Z'));
}

} // namespace

template <typename Unit> std::size_t BasicMarkupScanner<Unit>::tagEnd(Text text, std::size_t tagStart) {
    const std::size_t n = text.size();
    for (std::size_t i = tagStart; i < n; ++i) {
        i = findEither(text, Unit('>'), Unit('='), i);
        if (i == kNotFound || text[i] == Unit('>')) {
            return i;
        }
        std::size_t v = i + 1;
        while (v < n && isBlank(text[v])) {
            ++v;
        }
        if (v < n && (text[v] == Unit('"') || text[v] == Unit('\''))) {
            const std::size_t close = findChar(text, text[v], v + 1);
            if (close == kNotFound) {
                // An unclosed quote does not hide the tag's end.
                return findChar(text, Unit('>'), tagStart);
            }
            i = close;
        } else {
            i = v - 1;
        }
    }
    return kNotFound;
}

template <typename Unit> std::size_t BasicMarkupScanner<Unit>::scanConstruct(std::size_t lt) {
    const std::size_t n = m_text.size();
    if (lt + 1 < n && m_text[lt + 1] == Unit('!') && matchesAt(m_text, "<!--", lt)) {
        // "<!-->" and "<!--->" already close the comment, as in a browser.
        const std::size_t close = findIgnoreCase(m_text, "-->", lt + 2);
        const std::size_t end = close == kNotFound ? n : close + 3;
        m_skipped.emplace_back(lt, end);
        return end;
    }
    const bool endTag = lt + 1 < n && m_text[lt + 1] == Unit('/');
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
    if (findChar(m_text.substr(0, gt), Unit('<'), lt + 1) != kNotFound) {
        m_skipped.emplace_back(lt + 1, gt);
    }
    const Unit initial = asciiLower(m_text[name]);
    if (!endTag && (initial == Unit('s') || initial == Unit('t'))) {
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

template <typename Unit> void BasicMarkupScanner<Unit>::scanThrough(std::size_t pos) {
    while (m_frontier <= pos && m_frontier < m_text.size()) {
        const std::size_t lt = findChar(m_text, Unit('<'), m_frontier);
        if (lt == kNotFound) {
            m_frontier = m_text.size();
            return;
        }
        m_frontier = scanConstruct(lt);
    }
}

template <typename Unit>
const typename BasicMarkupScanner<Unit>::Span* BasicMarkupScanner<Unit>::spanAt(std::size_t pos) {
    scanThrough(pos);
    auto it = std::upper_bound(m_skipped.begin(), m_skipped.end(), pos,
                               [](std::size_t p, const Span& s) { return p < s.first; });
    if (it == m_skipped.begin()) {
        return nullptr;
    }
    --it;
    return pos < it->second ? &*it : nullptr;
}

template <typename Unit> bool BasicMarkupScanner<Unit>::isMarkup(std::size_t pos) {
    return spanAt(pos) == nullptr;
}

template <typename Unit>
std::size_t BasicMarkupScanner<Unit>::find(std::string_view key, std::size_t from, bool wholeName, std::size_t end) {
    const Text range = m_text.substr(0, end);
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

template <typename Unit>
std::size_t BasicMarkupScanner<Unit>::rfind(std::string_view key, std::size_t before, std::size_t floor) {
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

template class BasicMarkupScanner<char16_t>;
template class BasicMarkupScanner<char>;

} // namespace quillora::engine
