#pragma once

#include <cstddef>
#include <string_view>

// Code points and UTF-16 code units: the one place that pairs surrogates and splits code points into them.
namespace quillora::charset::utf16 {

inline constexpr char32_t kReplacement = 0xFFFD;

constexpr bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr bool isSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

/// The code point a high and a low surrogate stand for.
constexpr char32_t joinSurrogates(char16_t high, char16_t low) {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}

/// The code point at text[i], a pair joined (i then stands on its second unit); U+FFFD for a lone surrogate.
constexpr char32_t codePointAt(std::u16string_view text, std::size_t& i) {
    const char16_t unit = text[i];
    if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
        return joinSurrogates(unit, text[++i]);
    return isSurrogate(unit) ? kReplacement : unit;
}

/// Writes the code units of a code point at out (a pair from U+10000 up) and moves out past them.
constexpr void writeCodePoint(char32_t code, char16_t*& out) {
    if (code < 0x10000) {
        *out++ = static_cast<char16_t>(code);
        return;
    }
    code -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (code >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
}

} // namespace quillora::charset::utf16
