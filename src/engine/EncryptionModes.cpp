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
    BasicMarkupScanner<Unit> scanner(text);
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

template <typename Unit> void encodeBodies(Text<Unit> text, BasicPageBuilder<Unit>& out) {
    BasicMarkupScanner<Unit> scanner(text);
    std::size_t copied = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t gt = tagEndAt(text, scanner.find("<body", pos, true));
        if (gt == kNotFound) {
            break;
        }
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
    out.copy(copied, text.size());
}

template <typename Unit> void encodeWholePage(Text<Unit> text, BasicPageBuilder<Unit>& out) {
    // A leading DOCTYPE stays first and readable, or the browser would render the page in quirks mode.
    const std::size_t doctype = leadingDoctypeLength(text);
    out.copy(0, doctype);
    out.encode(text.substr(doctype));
}

} // namespace

template <typename Unit> std::size_t leadingDoctypeLength(std::basic_string_view<Unit> text) {
    std::size_t i = 0;
    while (i < text.size() &&
           (text[i] == Unit(' ') || text[i] == Unit('\t') || text[i] == Unit('\r') || text[i] == Unit('\n'))) {
        ++i;
    }
    if (!matchesAt(text, "<!doctype", i)) {
        return 0;
    }
    const std::size_t gt = findChar(text, Unit('>'), i);
    return gt == kNotFound ? 0 : gt + 1;
}

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
    case EncryptionMode::None:
        out.copy(0, text.size());
        break;
    }
}

template std::size_t leadingDoctypeLength(std::u16string_view);
template std::size_t leadingDoctypeLength(std::string_view);
template std::size_t tagEndAt(std::u16string_view, std::size_t);
template std::size_t tagEndAt(std::string_view, std::size_t);
template void applyEncryptionMode(std::u16string_view, EncryptionMode, BasicPageBuilder<char16_t>&);
template void applyEncryptionMode(std::string_view, EncryptionMode, BasicPageBuilder<char>&);

} // namespace quillora::engine
