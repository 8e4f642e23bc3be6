#include "ContentEncoding.h"

#include "Escape.h"
#include "LargeBuffer.h"
#include "MarkupScanner.h"

namespace quillora::engine {

namespace {

constexpr std::string_view kCallStart = "<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"";
constexpr std::string_view kCallEnd = "\"));//--></SCRIPT>";
constexpr std::u16string_view kBootstrapStart = u"<SCRIPT LANGUAGE=JavaScript><!--\r\neval(unescape('";
constexpr std::u16string_view kBootstrapEnd =
    u"'));//--></SCRIPT><NOSCRIPT>To display this page you need a browser with JavaScript support.</NOSCRIPT>";
constexpr std::u16string_view kWriterScript = u"qv_ok=true;function qv_d00(s){if(!qv_ok)return;document.write(s)}";

constexpr std::u16string_view kStrictBootstrapStart = u"<SCRIPT LANGUAGE=JavaScript>";
constexpr std::u16string_view kStrictBootstrapEnd =
    u"</SCRIPT><NOSCRIPT>To display this page you need a browser with JavaScript support.</NOSCRIPT>";

std::u16string makeBootstrap() {
    std::u16string text(kBootstrapStart);
    appendEscapes(text, kWriterScript);
    text += kBootstrapEnd;
    return text;
}

template <typename Unit> void appendAscii(std::basic_string<Unit>& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

} // namespace

void UnitText::appendEscapes(std::u16string& out, std::u16string_view span) const {
    engine::appendEscapes(out, span);
}

const UnitText& UnitText::instance() {
    static const UnitText text;
    return text;
}

std::size_t EscapedLength(std::u16string_view text) {
    return 3 * text.size() + 3 * countAbove255(text);
}

std::u16string_view Bootstrap() {
    static const std::u16string bootstrap = makeBootstrap();
    return bootstrap;
}

std::u16string_view StrictBootstrap() {
    static const std::u16string bootstrap =
        std::u16string(kStrictBootstrapStart) + std::u16string(kWriterScript) + std::u16string(kStrictBootstrapEnd);
    return bootstrap;
}

template <typename Unit>
void AppendWriterCall(std::basic_string<Unit>& out, std::basic_string_view<Unit> text,
                      const PageCharset<Unit>& charset) {
    appendAscii(out, kCallStart);
    charset.appendEscapes(out, text);
    appendAscii(out, kCallEnd);
}

template <typename Unit>
void AppendEncodedWithScripts(std::basic_string<Unit>& out, std::basic_string_view<Unit> text,
                              const PageCharset<Unit>& charset, KeptElements* kept) {
    std::basic_string_view<Unit> rest = text;
    for (;;) {
        // The rest is read afresh from its start, as the browser will read what follows a script element.
        BasicMarkupScanner<Unit> scanner(rest);
        const std::size_t start = scanner.find("<script ", 0);
        const std::size_t gt = start == kNotFound ? kNotFound : BasicMarkupScanner<Unit>::tagEnd(rest, start);
        // The element ends with the end tag that ends the script's text as the browser reads it: after its start
        // tag (which may hold "</script>" in a quoted value), past a "</script>" that "<!--" and "<script>" in a
        // string make part of the text, and with whatever that end tag holds before its ">".
        const std::size_t close = gt == kNotFound ? kNotFound : scriptDataEnd(rest, gt + 1);
        const std::size_t closeEnd =
            close == kNotFound || close == rest.size() ? kNotFound : BasicMarkupScanner<Unit>::tagEnd(rest, close);
        if (closeEnd == kNotFound) {
            // No further script element, or one without an end: everything left travels in one writer call.
            AppendWriterCall(out, rest, charset);
            return;
        }
        const std::size_t after = closeEnd + 1;
        if (findIgnoreCase(rest.substr(start, gt - start), "src=", 0) != kNotFound) {
            AppendWriterCall(out, rest.substr(0, start), charset);
            if (kept != nullptr) {
                kept->emplace_back(out.size(), out.size() + after - start);
            }
            out += rest.substr(start, after - start);
        } else {
            AppendWriterCall(out, rest.substr(0, after), charset);
        }
        rest = rest.substr(after);
    }
}

template void AppendWriterCall(std::u16string&, std::u16string_view, const PageCharset<char16_t>&);
template void AppendWriterCall(std::string&, std::string_view, const PageCharset<char>&);
template void AppendEncodedWithScripts(std::u16string&, std::u16string_view, const PageCharset<char16_t>&,
                                       KeptElements*);
template void AppendEncodedWithScripts(std::string&, std::string_view, const PageCharset<char>&, KeptElements*);

void AppendWriterCall(std::u16string& out, std::u16string_view text) {
    AppendWriterCall(out, text, static_cast<const PageCharset<char16_t>&>(UnitText::instance()));
}

std::u16string EncodeToWriterCall(std::u16string_view text) {
    std::u16string out;
    reserveText(out, kCallStart.size() + EscapedLength(text) + kCallEnd.size());
    AppendWriterCall(out, text);
    return out;
}

void AppendEncodedWithScripts(std::u16string& out, std::u16string_view text) {
    AppendEncodedWithScripts(out, text, static_cast<const PageCharset<char16_t>&>(UnitText::instance()));
}

std::u16string EncodeWithScripts(std::u16string_view text) {
    std::u16string out;
    out.reserve(EscapedLength(text) + 64);
    AppendEncodedWithScripts(out, text);
    return out;
}

} // namespace quillora::engine
