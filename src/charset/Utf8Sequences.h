#pragma once

#include "Utf16.h"

#include <cstddef>
#include <cstdint>

// One UTF-8 sequence at a time, as the web's decoder reads it (and writes it): a sequence that is not valid stands for
// one U+FFFD for each of its maximal parts that could have begun a valid sequence.
namespace quillora::charset::utf8 {

struct Lead {
    int trail; // number of continuation bytes
    unsigned char low;
    unsigned char high; // bounds of the first continuation byte
};

inline bool lead(unsigned char c, Lead& lead) {
    if (c >= 0xC2 && c <= 0xDF)
        lead = {1, 0x80, 0xBF};
    else if (c >= 0xE0 && c <= 0xEF)
        lead = {2, static_cast<unsigned char>(c == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(c == 0xED ? 0x9F : 0xBF)};
    else if (c >= 0xF0 && c <= 0xF4)
        lead = {3, static_cast<unsigned char>(c == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(c == 0xF4 ? 0x8F : 0xBF)};
    else
        return false;
    return true;
}

/// Decodes the multi-byte sequence at p into one or two code units at out; returns its length and moves out,
/// or 0 when it is invalid.
inline std::size_t decodeSequence(const unsigned char* p, std::size_t left, char16_t*& out) {
    Lead first{};
    if (!lead(p[0], first) || left < static_cast<std::size_t>(first.trail) + 1)
        return 0;
    if (p[1] < first.low || p[1] > first.high)
        return 0;
    static constexpr unsigned kLeadMask[] = {0, 0x1F, 0x0F, 0x07};
    std::uint32_t code = p[0] & kLeadMask[first.trail];
    for (int k = 1; k <= first.trail; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[k] & 0x3F);
    }
    utf16::writeCodePoint(code, out);
    return static_cast<std::size_t>(first.trail) + 1;
}

/// The length of the invalid sequence at p that one replacement character stands for (its maximal subpart).
inline std::size_t invalidLength(const unsigned char* p, std::size_t left) {
    Lead first{};
    if (!lead(p[0], first) || left < 2 || p[1] < first.low || p[1] > first.high)
        return 1;
    std::size_t length = 2;
    while (length < left && length <= static_cast<std::size_t>(first.trail) && (p[length] & 0xC0) == 0x80)
        ++length;
    return length;
}

/// Writes the UTF-8 bytes of a code point at out; returns where they end.
inline char* writeCodePoint(char32_t code, char* out) {
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | (code >> 6));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (code >> 12));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (code >> 18));
        *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

/// The code units of the sequence at p (U+FFFD for an invalid one) at out; returns the bytes it takes.
inline std::size_t decodeOne(const unsigned char* p, std::size_t left, char16_t*& out) {
    if (p[0] < 0x80) {
        *out++ = p[0];
        return 1;
    }
    if (const std::size_t length = decodeSequence(p, left, out))
        return length;
    *out++ = u'\uFFFD';
    return invalidLength(p, left);
}

} // namespace quillora::charset::utf8
