#include "MarkupScanner.h"

#include <algorithm>

namespace quillora::engine {

namespace {

template <typename Unit> bool isAsciiLetter(Unit c) {
    return (c >= Unit('a') && c <= Unit('z')) || (c >= Unit('A') && c <= Unit('Z'));
}

} // namespace

template <typename Unit> bool BasicMarkupScanner<Unit>::inDrawing() const {
    return !m_open.empty() && (m_open.back().scope == Scope::Svg || m_open.back().scope == Scope::Math);
}

template <typename Unit> void BasicMarkupScanner<Unit>::skip(std::size_t begin, std::size_t end) {
    if (begin < end) {
        m_skipped.emplace_back(begin, end);
    }
}

template <typename Unit>
void BasicMarkupScanner<Unit>::open(Scope scope, const TagName& name, std::size_t contentStart) {
    if (m_open.empty()) {
        m_apartFrom = contentStart;
    }
    m_open.push_back(OpenElement{scope, name});
}

template <typename Unit> void BasicMarkupScanner<Unit>::closeTo(std::size_t depth, std::size_t at) {
    m_open.resize(depth);
    if (m_open.empty()) {
        if (m_apartFrom < at) {
            m_apart.emplace_back(m_apartFrom, at);
        }
        m_apartFrom = kNotFound;
    }
}

template <typename Unit> void BasicMarkupScanner<Unit>::leaveDrawing(std::size_t at) {
    std::size_t depth = m_open.size();
    while (depth > 0 && (m_open[depth - 1].scope == Scope::Svg || m_open[depth - 1].scope == Scope::Math)) {
        --depth;
    }
    closeTo(depth, at);
}

template <typename Unit> bool BasicMarkupScanner<Unit>::fontBreaksOut(std::size_t lt, std::size_t gt) const {
    const Text tag = m_text.substr(lt, gt - lt);
    for (const std::string_view attribute : {"color", "face", "size"}) {
        for (std::size_t p = findIgnoreCase(tag, attribute, 0); p != kNotFound;
             p = findIgnoreCase(tag, attribute, p + 1)) {
            const std::size_t after = p + attribute.size();
            if (isMarkupSpace(tag[p - 1]) && (after == tag.size() || tag[after] == Unit('=') ||
                                              tag[after] == Unit('/') || isMarkupSpace(tag[after]))) {
                return true;
            }
        }
    }
    return false;
}

template <typename Unit>
std::size_t BasicMarkupScanner<Unit>::contentsEnd(std::size_t contentStart, const TagName& name, unsigned roles) const {
    if (roles & kScriptData) {
        return scriptDataEnd(m_text, contentStart);
    }
    if ((roles & kEscapableText) ||
        ((roles & kRawText) && !(m_noscript == Noscript::Markup && name.view() == "noscript"))) {
        return rawTextEnd(m_text, contentStart, name.view());
    }
    return roles & kPlainText ? m_text.size() : kNotFound;
}

template <typename Unit>
std::size_t BasicMarkupScanner<Unit>::startTag(std::size_t lt, const TagExtent& tag, const TagName& name,
                                               unsigned roles) {
    const std::size_t after = tag.end + 1;
    if (inDrawing()) {
        if (!(roles & kBreakout) && !((roles & kFontBreakout) && fontBreaksOut(lt, tag.end))) {
            const Scope scope = m_open.back().scope;
            if (!tag.selfClosing) {
                const bool htmlPoint = roles & (scope == Scope::Svg ? kSvgHtmlPoint : kMathHtmlPoint);
                m_open.push_back(OpenElement{htmlPoint ? Scope::HtmlPoint : scope, name});
            }
            return after;
        }
        // An HTML element that cannot stand in a drawing ends it, and is read as HTML.
        leaveDrawing(lt);
    }
    if (roles & kTemplate) {
        open(Scope::Template, name, after);
        return after;
    }
    if ((roles & kForeignRoot) && !tag.selfClosing) {
        open(name.view() == "svg" ? Scope::Svg : Scope::Math, name, after);
        return after;
    }
    const std::size_t end = contentsEnd(after, name, roles);
    if (end == kNotFound) {
        return after;
    }
    skip(after, end);
    return std::max(end, after);
}

template <typename Unit>
std::size_t BasicMarkupScanner<Unit>::endTag(std::size_t lt, std::size_t gt, const TagName& name) {
    if (inDrawing()) {
        // It closes the innermost element of the drawing of its name; naming none, it is HTML's and ends the
        // drawing (as "</body>" or the end of the element around the drawing does).
        std::size_t depth = m_open.size();
        while (depth > 0 && (m_open[depth - 1].scope == Scope::Svg || m_open[depth - 1].scope == Scope::Math)) {
            if (m_open[depth - 1].name == name) {
                closeTo(depth - 1, lt);
                return gt + 1;
            }
            --depth;
        }
        leaveDrawing(lt);
    }
    if (m_open.empty()) {
        return gt + 1;
    }
    if (m_open.back().scope == Scope::HtmlPoint && name == m_open.back().name) {
        closeTo(m_open.size() - 1, lt);
    } else if (name.view() == "template") {
        for (std::size_t depth = m_open.size(); depth > 0; --depth) {
            if (m_open[depth - 1].scope == Scope::Template) {
                closeTo(depth - 1, lt);
                break;
            }
        }
    }
    return gt + 1;
}

template <typename Unit> std::size_t BasicMarkupScanner<Unit>::scanBang(std::size_t lt) {
    std::size_t end;
    if (matchesAt(m_text, "<!--", lt)) {
        end = commentEnd(m_text, lt);
    } else if (inDrawing() && matchesAt(m_text, "<![cdata[", lt)) {
        const std::size_t close = findIgnoreCase(m_text, "]]>", lt + 9);
        end = close == kNotFound ? m_text.size() : close + 3;
    } else {
        end = bogusCommentEnd(m_text, lt); // a DOCTYPE ends the same way
    }
    skip(lt, end);
    return end;
}

template <typename Unit> std::size_t BasicMarkupScanner<Unit>::scanConstruct(std::size_t lt) {
    const std::size_t n = m_text.size();
    const Unit next = lt + 1 < n ? m_text[lt + 1] : Unit(0);
    if (next == Unit('!')) {
        return scanBang(lt);
    }
    const bool closing = next == Unit('/');
    const std::size_t name = closing ? lt + 2 : lt + 1;
    if (next == Unit('?') || (closing && name < n && !isAsciiLetter(m_text[name]) && m_text[name] != Unit('>'))) {
        const std::size_t end = bogusCommentEnd(m_text, lt);
        skip(lt, end);
        return end;
    }
    if (name >= n || !isAsciiLetter(m_text[name])) {
        return closing && name < n ? name + 1 : lt + 1; // "</>" stands for nothing; a lone "<" is text
    }
    const TagExtent tag = readTag(m_text, lt);
    if (tag.end == kNotFound) {
        // A tag that never ends takes the rest of the page with it: the browser drops it all.
        skip(lt, n);
        return n;
    }
    // What stands between a tag's name and its end is attribute text, as in onclick="w('<a href=x>')".
    if (findChar(m_text.substr(0, tag.end), Unit('<'), lt + 1) != kNotFound) {
        skip(lt + 1, tag.end);
    }
    if (m_open.empty() && (closing || !mayHaveRoleInHtml(static_cast<char>(asciiLower(m_text[name]))))) {
        return tag.end + 1;
    }
    const TagName tagName = TagName::at(m_text, name);
    return closing ? endTag(lt, tag.end, tagName) : startTag(lt, tag, tagName, elementRoles(tagName.view()));
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
const typename BasicMarkupScanner<Unit>::Span* BasicMarkupScanner<Unit>::skippedAt(std::size_t pos) const {
    auto it = std::upper_bound(m_skipped.begin(), m_skipped.end(), pos,
                               [](std::size_t p, const Span& s) { return p < s.first; });
    if (it == m_skipped.begin()) {
        return nullptr;
    }
    --it;
    return pos < it->second ? &*it : nullptr;
}

template <typename Unit> auto BasicMarkupScanner<Unit>::apartAt(std::size_t pos) const -> std::optional<Span> {
    if (m_apartFrom != kNotFound && pos >= m_apartFrom) {
        return Span{m_apartFrom, std::max(m_frontier, pos + 1)}; // still open: set apart up to the frontier
    }
    auto it =
        std::upper_bound(m_apart.begin(), m_apart.end(), pos, [](std::size_t p, const Span& s) { return p < s.first; });
    if (it == m_apart.begin()) {
        return std::nullopt;
    }
    --it;
    return pos < it->second ? std::optional<Span>(*it) : std::nullopt;
}

template <typename Unit> bool BasicMarkupScanner<Unit>::isMarkup(std::size_t pos) {
    scanThrough(pos);
    return skippedAt(pos) == nullptr && !apartAt(pos);
}

template <typename Unit> bool BasicMarkupScanner<Unit>::isSetApart(std::size_t pos) {
    scanThrough(pos);
    return skippedAt(pos) == nullptr && apartAt(pos).has_value();
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
        scanThrough(p);
        if (const Span* span = skippedAt(p)) {
            from = span->second;
            continue;
        }
        if (const auto apart = apartAt(p)) {
            from = apart->second;
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
        scanThrough(p);
        if (const Span* span = skippedAt(p)) {
            before = span->first;
        } else if (const auto apart = apartAt(p)) {
            before = apart->first;
        } else {
            return p;
        }
    }
    return kNotFound;
}

template <typename Unit> std::size_t BasicMarkupScanner<Unit>::firstShown(std::size_t from, std::size_t to) {
    std::size_t i = from;
    while (i < to) {
        scanThrough(i);
        if (const Span* span = skippedAt(i)) {
            i = span->second;
            continue;
        }
        if (const auto apart = apartAt(i)) {
            i = apart->second;
            continue;
        }
        const Unit c = m_text[i];
        if (isMarkupSpace(c) || c == Unit(0)) {
            ++i;
            continue;
        }
        const bool closing = c == Unit('<') && i + 1 < m_text.size() && m_text[i + 1] == Unit('/');
        const std::size_t name = closing ? i + 2 : i + 1;
        if (c != Unit('<') || name >= m_text.size() || !isAsciiLetter(m_text[name])) {
            if (closing && name < m_text.size() && m_text[name] == Unit('>')) {
                i = name + 1;
                continue;
            }
            return i; // text, a lone "<" among it
        }
        const std::size_t gt = tagEnd(m_text, i);
        if (gt == kNotFound) {
            return kNotFound; // a tag that never ends is set aside by the scan already
        }
        if (!closing && !(elementRoles(TagName::at(m_text, name).view()) & kHeadMaterial)) {
            return i;
        }
        i = gt + 1;
    }
    return kNotFound;
}

template class BasicMarkupScanner<char16_t>;
template class BasicMarkupScanner<char>;

} // namespace quillora::engine
