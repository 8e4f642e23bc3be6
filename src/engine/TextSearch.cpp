#include "TextSearch.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quillora::engine {

std::size_t findChar(std::u16string_view text, char16_t c, std::size_t from) {
    const std::size_t n = text.size();
    std::size_t i = from;
#ifdef __SSE2__
    // Page text is searched end to end many times; eight units at a time keeps that near memory speed.
    const __m128i needle = _mm_set1_epi16(static_cast<short>(c));
    for (; i + 8 <= n; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, needle));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        }
    }
#endif
    for (; i < n; ++i) {
        if (text[i] == c) {
            return i;
        }
    }
    return kNotFound;
}

bool matchesAt(std::u16string_view text, std::u16string_view key, std::size_t pos) {
    if (pos > text.size() || text.size() - pos < key.size()) {
        return false;
    }
    for (std::size_t k = 0; k < key.size(); ++k) {
        if (asciiLower(text[pos + k]) != key[k]) {
            return false;
        }
    }
    return true;
}

std::size_t findIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t from) {
    if (key.empty()) {
        return from <= text.size() ? from : kNotFound;
    }
    const char16_t first = key[0];
    const char16_t upper = (first >= u'a' && first <= u'z') ? char16_t(first - 32) : first;
    for (std::size_t i = from; i < text.size();) {
        std::size_t p = findChar(text, first, i);
        if (upper != first) {
            const std::size_t q = findChar(text.substr(0, p == kNotFound ? text.size() : p), upper, i);
            if (q != kNotFound) {
                p = q;
            }
        }
        if (p == kNotFound) {
            return kNotFound;
        }
        if (matchesAt(text, key, p)) {
            return p;
        }
        i = p + 1;
    }
    return kNotFound;
}

std::size_t rfindIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t before, std::size_t floor) {
    if (key.empty()) {
        return kNotFound;
    }
    std::size_t p = before > text.size() ? text.size() : before;
    while (p-- > floor) {
        if (asciiLower(text[p]) == key[0] && matchesAt(text, key, p)) {
            return p;
        }
    }
    return kNotFound;
}

} // namespace quillora::engine
