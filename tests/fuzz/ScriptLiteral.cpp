#include "ScriptLiteral.h"

namespace quillora::fuzz {

namespace {

bool endsLine(char16_t c) {
    return c == u'\r' || c == u'\n' || c == u'\u2028' || c == u'\u2029';
}

std::optional<char16_t> hexUnit(std::u16string_view text, std::size_t pos, std::size_t digits) {
    if (pos + digits > text.size()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (std::size_t i = pos; i < pos + digits; ++i) {
        const char16_t c = text[i];
        const int digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                          : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                          : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                     : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<char16_t>(value);
}

} // namespace

std::optional<ScriptLiteral> ScriptLiteral::read(std::u16string_view text, std::size_t open) {
    ScriptLiteral literal;
    for (std::size_t i = open; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\'') {
            literal.end = i + 1;
            return literal;
        }
        if (endsLine(c)) {
            return std::nullopt;
        }
        if (c != u'\\') {
            literal.value += c;
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        const char16_t e = text[i];
        const std::size_t digits = e == u'x' ? 2 : e == u'u' ? 4 : 0;
        if (digits != 0) {
            const auto unit = hexUnit(text, i + 1, digits);
            if (!unit) {
                return std::nullopt;
            }
            literal.value += *unit;
            i += digits;
        } else if (e == u'r' || e == u'n') {
            literal.value += e == u'r' ? u'\r' : u'\n';
        } else if (endsLine(e) || e == u'b' || e == u'f' || e == u't' || e == u'v' || e == u'0') {
            // Line continuations and the other letter escapes change the text; the encoder never needs them.
            return std::nullopt;
        } else {
            literal.value += e;
        }
    }
    return std::nullopt;
}

} // namespace quillora::fuzz
