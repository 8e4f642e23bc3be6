#include "EncryptionModes.h"

#include "EmailLinkEncoder.h"
#include "MarkupScanner.h"

namespace quillora::engine {

namespace {

constexpr std::string_view kAnchorOpen = "<a ";
constexpr std::string_view kAnchorClose = "</a>";
constexpr std::string_view kBodyClose = "</body>";

template <typename Unit> using Text = std::basic_string_view<Unit>;

// Links (mode 1) and bodies (mode 2) are replaced front to back, so the result is built in one pass: the text
// before a span is copied, the span is encoded. The markup after a replaced span reads as it did before.
template <typename Unit> void encodeLinks(Text<Unit> text, BasicPageBuilder<Unit>& out) {
    BasicMarkupScanner<Unit> scanner(text, BasicMarkupScanner<Unit>::Noscript::Markup);
    std::size_t copied = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t a = scanner.find(kAnchorOpen, pos);
        const std::size_t e = a == kNotFound ? kNotFound : scanner.find(kAnchorClose, a);
        if (e == kNotFound) {
            break;
        }
        const std::size_t end = e + kAnchorClose.size();
        out.copy(copied, a);
        out.encode(text.substr(a, end - a));
        copied = pos = end;
    }
    out.copy(copied, text.size());
}

/// Hides what the browser shows in the body from `from` on but before `to`, as it shows it: from the first text or
/// element that is not head material. Returns where the copied text now ends.
template <typename Unit>
std::size_t hideShown(Text<Unit> text, BasicMarkupScanner<Unit>& scanner, std::size_t from, std::size_t to,
                      BasicPageBuilder<Unit>& out) {
    const std::size_t shown = scanner.firstShown(from, to);
    if (shown == kNotFound) {
        return from;
    }
    out.copy(from, shown);
    out.encode(text.substr(shown, to - shown));
    return to;
}

// The body is what lies between each body tag and its end tag, and also whatever the browser puts into the body
// around them: text or elements before the first body tag (which then opens the body itself), and after a body's
// end (which the browser moves back into it). A page without a body tag is all body from its first such text.
template <typename Unit> void encodeBodies(Text<Unit> text, BasicPageBuilder<Unit>& out) {
    BasicMarkupScanner<Unit> scanner(text);
    std::size_t copied = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t body = scanner.find("<body", pos, true);
        const std::size_t gt = tagEndAt(text, body);
        if (gt == kNotFound) {
            break;
        }
        copied = hideShown(text, scanner, copied, body, out);
        const std::size_t content = gt + 1;
        const std::size_t close = scanner.find(kBodyClose, content);
        if (close == kNotFound) {
            // The end tag may be left out: a browser ends the body with the document, at its "</html>" or its
            // last character. No later body tag could be a body of its own.
            const std::size_t html = scanner.find("</html", content, true);
            const std::size_t end = html == kNotFound ? text.size() : html;
            out.copy(copied, content);
            out.encode(text.substr(content, end - content));
            copied = end;
            break;
        }
        out.copy(copied, content);
        out.encode(text.substr(content, close - content));
        copied = pos = close;
    }
    // The rest is hidden up to a closing "</html>" that only blanks, comments and head material follow.
    std::size_t end = text.size();
    if (const std::size_t shown = scanner.firstShown(copied, end); shown != kNotFound) {
        const std::size_t html = scanner.find("</html", shown, true);
        if (html != kNotFound && scanner.firstShown(html, end) == kNotFound) {
            end = html;
        }
    }
    copied = hideShown(text, scanner, copied, end, out);
    out.copy(copied, text.size());
}

template <typename Unit> void encodeWholePage(Text<Unit> text, BasicPageBuilder<Unit>& out) {
    // A leading DOCTYPE stays first and readable, with what the browser passes over before it (blanks, comments), or
    // the browser would render the page in quirks mode.
    const std::size_t doctype = leadingDoctypeLength(text);
    out.copy(0, doctype);
    out.encode(text.substr(doctype));
}

} // namespace

template <typename Unit> std::size_t tagEndAt(std::basic_string_view<Unit> text, std::size_t pos) {
    return pos == kNotFound ? kNotFound : BasicMarkupScanner<Unit>::tagEnd(text, pos);
}

template <typename Unit>
void applyEncryptionMode(std::basic_string_view<Unit> text, EncryptionMode mode, BasicPageBuilder<Unit>& out) {
    switch (mode) {
    case EncryptionMode::EmailLinks:
        EncodeEmailLinks(text, out);
        break;
    case EncryptionMode::AllLinks:
        encodeLinks(text, out);
        break;
    case EncryptionMode::BodyOnly:
        encodeBodies(text, out);
        break;
    case EncryptionMode::WholePage:
        encodeWholePage(text, out);
        break;
    }
}

template <typename Unit> bool linksLeftAsTheyAre(std::basic_string_view<Unit> text, EncryptionMode mode) {
    if ((mode != EncryptionMode::EmailLinks && mode != EncryptionMode::AllLinks) ||
        (findIgnoreCase(text, "<template", 0) == kNotFound && findIgnoreCase(text, "<svg", 0) == kNotFound &&
         findIgnoreCase(text, "<math", 0) == kNotFound)) {
        return false;
    }
    BasicMarkupScanner<Unit> scanner(text, BasicMarkupScanner<Unit>::Noscript::Markup);
    for (std::size_t a = findIgnoreCase(text, kAnchorOpen, 0); a != kNotFound;
         a = findIgnoreCase(text, kAnchorOpen, a + 1)) {
        if (!scanner.isSetApart(a)) {
            continue;
        }
        if (mode == EncryptionMode::AllLinks) {
            return true;
        }
        const std::size_t close = findIgnoreCase(text, kAnchorClose, a);
        const std::size_t mailto = findIgnoreCase(text, "mailto:", a);
        if (mailto != kNotFound && (close == kNotFound || mailto < close)) {
            return true;
        }
    }
    return false;
}

template std::size_t tagEndAt(std::u16string_view, std::size_t);
template std::size_t tagEndAt(std::string_view, std::size_t);
template void applyEncryptionMode(std::u16string_view, EncryptionMode, BasicPageBuilder<char16_t>&);
template void applyEncryptionMode(std::string_view, EncryptionMode, BasicPageBuilder<char>&);
template bool linksLeftAsTheyAre(std::u16string_view, EncryptionMode);
template bool linksLeftAsTheyAre(std::string_view, EncryptionMode);

} // namespace quillora::engine
