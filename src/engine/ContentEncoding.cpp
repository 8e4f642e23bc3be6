#include "ContentEncoding.h"

#include "MarkupScanner.h"

#include <array>
#include <cstring>

namespace quillora::engine {

namespace {

constexpr std::u16string_view kCallStart = u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"";
constexpr std::u16string_view kCallEnd = u"\"));//--></SCRIPT>";
constexpr std::u16string_view kBootstrapStart = u"<SCRIPT LANGUAGE=JavaScript><!--\r\neval(unescape('";
constexpr std::u16string_view kBootstrapEnd =
    u"'));//--></SCRIPT><NOSCRIPT>To display this page you need a browser with JavaScript support.</NOSCRIPT>";
constexpr std::u16string_view kWriterScript = u"qv_ok=true;function qv_d00(s){if(!qv_ok)return;document.write(s)}";

// Escapes are copied from tables eight bytes at a time; a unit below 256 uses three of the four characters
// copied, so the destination needs one character of slack after the last escape.
struct EscapeTables {
    alignas(8) char16_t byteEscape[256][4]; // "%XY" and one spare character
    alignas(8) char16_t highEscape[256][4]; // "%uXY", the high byte of a unit from 256 upwards
    alignas(4) char16_t hexPair[256][2];    // "XY", the low byte

    constexpr EscapeTables() : byteEscape(), highEscape(), hexPair() {
        constexpr char16_t digits[] = u"0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            const char16_t hi = digits[b >> 4];
            const char16_t lo = digits[b & 15];
            hexPair[b][0] = hi, hexPair[b][1] = lo;
            byteEscape[b][0] = u'%', byteEscape[b][1] = hi, byteEscape[b][2] = lo, byteEscape[b][3] = 0;
            highEscape[b][0] = u'%', highEscape[b][1] = u'u', highEscape[b][2] = hi, highEscape[b][3] = lo;
        }
    }
};

constexpr EscapeTables kTables;

// Writes the escapes of text to dst (which has room for them plus one character) and returns the new end.
char16_t* escapeInto(char16_t* dst, const char16_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = src[i];
        if (c < 256) {
            std::memcpy(dst, kTables.byteEscape[c], 8);
            dst += 3;
        } else {
            std::memcpy(dst, kTables.highEscape[c >> 8], 8);
            std::memcpy(dst + 4, kTables.hexPair[c & 255], 4);
            dst += 6;
        }
    }
    return dst;
}

// Blocks keep the zero-filling of each resize in cache and the growth of the result to one step per block.
constexpr std::size_t kBlock = 4096;

void appendEscapes(std::u16string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); i += kBlock) {
        const std::u16string_view block = text.substr(i, kBlock);
        const std::size_t length = EscapedLength(block);
        const std::size_t start = out.size();
        out.resize(start + length + 1);
        escapeInto(out.data() + start, block.data(), block.size());
        out.resize(start + length);
    }
}

std::u16string makeBootstrap() {
    std::u16string text(kBootstrapStart);
    appendEscapes(text, kWriterScript);
    text += kBootstrapEnd;
    return text;
}

} // namespace

std::size_t EscapedLength(std::u16string_view text) {
    std::size_t wide = 0;
    for (const char16_t c : text) {
        wide += c >= 256;
    }
    return 3 * text.size() + 3 * wide;
}

std::u16string_view Bootstrap() {
    static const std::u16string bootstrap = makeBootstrap();
    return bootstrap;
}

void AppendWriterCall(std::u16string& out, std::u16string_view text) {
    out += kCallStart;
    appendEscapes(out, text);
    out += kCallEnd;
}

std::u16string EncodeToWriterCall(std::u16string_view text) {
    std::u16string out;
    out.reserve(kCallStart.size() + EscapedLength(text) + kCallEnd.size() + 1);
    AppendWriterCall(out, text);
    return out;
}

void AppendEncodedWithScripts(std::u16string& out, std::u16string_view text) {
    std::u16string_view rest = text;
    for (;;) {
        // The rest is read afresh from its start, as the browser will read what follows a script element.
        MarkupScanner scanner(rest);
        const std::size_t start = scanner.find(u"<script ", 0);
        const std::size_t gt = start == kNotFound ? kNotFound : MarkupScanner::tagEnd(rest, start);
        const std::size_t close = gt == kNotFound ? kNotFound : findIgnoreCase(rest, u"</script>", start);
        if (close == kNotFound) {
            // No further script element, or one without an end: everything left travels in one writer call.
            AppendWriterCall(out, rest);
            return;
        }
        const std::size_t after = close + std::u16string_view(u"</script>").size();
        if (findIgnoreCase(rest.substr(start, gt - start), u"src=", 0) != kNotFound) {
            AppendWriterCall(out, rest.substr(0, start));
            out += rest.substr(start, after - start);
        } else {
            AppendWriterCall(out, rest.substr(0, after));
        }
        rest = rest.substr(after);
    }
}

std::u16string EncodeWithScripts(std::u16string_view text) {
    std::u16string out;
    out.reserve(EscapedLength(text) + 64);
    AppendEncodedWithScripts(out, text);
    return out;
}

} // namespace quillora::engine
