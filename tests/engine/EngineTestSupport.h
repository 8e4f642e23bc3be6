#pragma once

#include <string>
#include <string_view>

// An independent, deliberately plain rendering of the escape and the writer call that the tests compare with.
namespace quillora::engine::test {

inline std::u16string referenceEscape(std::u16string_view text) {
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out;
    for (const char16_t c : text) {
        if (c < 256) {
            out += u'%';
        } else {
            out += u"%u";
            out += digits[(c >> 12) & 15];
            out += digits[(c >> 8) & 15];
        }
        out += digits[(c >> 4) & 15];
        out += digits[c & 15];
    }
    return out;
}

/// The writer call of a text, spelled out.
inline std::u16string call(std::u16string_view text) {
    return u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"" + referenceEscape(text) + u"\"));//--></SCRIPT>";
}

} // namespace quillora::engine::test
