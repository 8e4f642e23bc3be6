#include "TextSearch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quillora::engine {

namespace {

template <typename Unit> using Text = std::basic_string_view<Unit>;

constexpr bool isLetter(char16_t c) {
    return c >= u'a' && c <= u'z';
}

template <typename Unit, typename KeyUnit> bool matchesAtT(Text<Unit> text, Text<KeyUnit> key, std::size_t pos) {
    if (pos > text.size() || text.size() - pos < key.size()) {
        return false;
    }
    for (std::size_t k = 0; k < key.size(); ++k) {
        if (asciiLower(text[pos + k]) != static_cast<Unit>(key[k])) {
            return false;
        }
    }
    return true;
}

// The first position at or after from where the first two characters of a key stand (either case for letters).
// Keys start with a fixed character such as "<" and pages hold many of those; testing the second character in
// the same step passes over most of them at once.
// A third character (0 for none), folded the same way, passes over the near misses as well ("</p" for "</body>").
std::size_t findPair(Text<char16_t> text, char16_t first, char16_t second, std::size_t from, char16_t third = 0) {
    const std::size_t n = text.size();
    const char16_t fold = isLetter(second) ? 0x20 : 0;
    std::size_t i = from;
#ifdef __SSE2__
    const __m128i wantFirst = _mm_set1_epi16(static_cast<short>(first));
    const __m128i wantSecond = _mm_set1_epi16(static_cast<short>(second));
    const __m128i foldMask = _mm_set1_epi16(static_cast<short>(fold));
    const __m128i wantThird = _mm_set1_epi16(static_cast<short>(third));
    const __m128i thirdFold = _mm_set1_epi16(static_cast<short>(isLetter(third) ? 0x20 : 0));
    for (; i + 10 <= n; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 1));
        __m128i hit =
            _mm_and_si128(_mm_cmpeq_epi16(a, wantFirst), _mm_cmpeq_epi16(_mm_or_si128(b, foldMask), wantSecond));
        if (third != 0) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 2));
            hit = _mm_and_si128(hit, _mm_cmpeq_epi16(_mm_or_si128(c, thirdFold), wantThird));
        }
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        }
    }
#endif
    for (; i + 1 < n; ++i) {
        if (text[i] == first && char16_t(text[i + 1] | fold) == second) {
            return i;
        }
    }
    return kNotFound;
}

std::size_t findPair(Text<char> text, char first, char second, std::size_t from, char third = 0) {
    const std::size_t n = text.size();
    const char fold = isLetter(static_cast<unsigned char>(second)) ? 0x20 : 0;
    std::size_t i = from;
#ifdef __SSE2__
    const __m128i wantFirst = _mm_set1_epi8(first);
    const __m128i wantSecond = _mm_set1_epi8(second);
    const __m128i foldMask = _mm_set1_epi8(fold);
    const __m128i wantThird = _mm_set1_epi8(third);
    const __m128i thirdFold = _mm_set1_epi8(isLetter(static_cast<unsigned char>(third)) ? 0x20 : 0);
    for (; i + 18 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 1));
        __m128i hit =
            _mm_and_si128(_mm_cmpeq_epi8(a, wantFirst), _mm_cmpeq_epi8(_mm_or_si128(b, foldMask), wantSecond));
        if (third != 0) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 2));
            hit = _mm_and_si128(hit, _mm_cmpeq_epi8(_mm_or_si128(c, thirdFold), wantThird));
        }
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
#endif
    for (; i + 1 < n; ++i) {
        if (text[i] == first && char(text[i + 1] | fold) == second) {
            return i;
        }
    }
    return kNotFound;
}

template <typename Unit, typename KeyUnit>
std::size_t findIgnoreCaseT(Text<Unit> text, Text<KeyUnit> key, std::size_t from) {
    if (key.empty()) {
        return from <= text.size() ? from : kNotFound;
    }
    const auto k0 = static_cast<char16_t>(key[0]);
    const auto k1 = key.size() >= 2 ? static_cast<char16_t>(key[1]) : char16_t(0);
    const auto k2 = key.size() >= 3 ? static_cast<char16_t>(key[2]) : char16_t(0);
    // "|0x20" folds only letters; below 0x40 the fold must change nothing, so such a character is compared as it
    // stands (no fold applied).
    const auto foldable = [](char16_t c) { return isLetter(c) || (c != 0 && c < 0x40); };
    if (key.size() >= 2 && !isLetter(k0) && foldable(k1)) {
        const auto third = static_cast<Unit>(foldable(k2) ? k2 : 0);
        for (std::size_t i = from;; ++i) {
            const std::size_t p = findPair(text, static_cast<Unit>(key[0]), static_cast<Unit>(key[1]), i, third);
            if (p == kNotFound) {
                return kNotFound;
            }
            if (matchesAtT(text, key, p)) {
                return p;
            }
            i = p;
        }
    }
    const auto first = static_cast<Unit>(key[0]);
    const auto upper = isLetter(k0) ? static_cast<Unit>(k0 - 32) : first;
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
        if (matchesAtT(text, key, p)) {
            return p;
        }
        i = p + 1;
    }
    return kNotFound;
}

template <typename Unit, typename KeyUnit>
std::size_t rfindIgnoreCaseT(Text<Unit> text, Text<KeyUnit> key, std::size_t before, std::size_t floor) {
    if (key.empty()) {
        return kNotFound;
    }
    std::size_t p = before > text.size() ? text.size() : before;
    const auto first = static_cast<Unit>(key[0]);
    while (p-- > floor) {
        if (asciiLower(text[p]) == first && matchesAtT(text, key, p)) {
            return p;
        }
    }
    return kNotFound;
}

} // namespace

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

std::size_t findChar(std::string_view text, char c, std::size_t from) {
    if (from >= text.size()) {
        return kNotFound;
    }
    const void* p = std::memchr(text.data() + from, c, text.size() - from);
    return p == nullptr ? kNotFound : static_cast<std::size_t>(static_cast<const char*>(p) - text.data());
}

std::size_t countAbove255(std::u16string_view text) {
    const std::size_t n = text.size();
    std::size_t count = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    // Each 16-bit lane counts the wide units it sees; the lanes are summed before they could overflow.
    const __m128i highBytes = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    while (i + 8 <= n) {
        __m128i lanes = zero;
        const std::size_t stop = std::min(n - (n - i) % 8, i + std::size_t{8} * 0xFFFF);
        for (; i < stop; i += 8) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i narrow = _mm_cmpeq_epi16(_mm_and_si128(block, highBytes), zero);
            lanes = _mm_add_epi16(lanes, _mm_andnot_si128(narrow, ones));
        }
        alignas(16) std::int32_t sums[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(sums), _mm_madd_epi16(lanes, ones));
        count += static_cast<std::size_t>(sums[0]) + static_cast<std::size_t>(sums[1]) +
                 static_cast<std::size_t>(sums[2]) + static_cast<std::size_t>(sums[3]);
    }
#endif
    for (; i < n; ++i) {
        count += text[i] >= 256;
    }
    return count;
}

std::size_t findEither(std::u16string_view text, char16_t a, char16_t b, std::size_t from) {
    const std::size_t n = text.size();
    std::size_t i = from;
#ifdef __SSE2__
    const __m128i wantA = _mm_set1_epi16(static_cast<short>(a));
    const __m128i wantB = _mm_set1_epi16(static_cast<short>(b));
    for (; i + 8 <= n; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(block, wantA), _mm_cmpeq_epi16(block, wantB)));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        }
    }
#endif
    for (; i < n; ++i) {
        if (text[i] == a || text[i] == b) {
            return i;
        }
    }
    return kNotFound;
}

std::size_t findEither(std::string_view text, char a, char b, std::size_t from) {
    const std::size_t n = text.size();
    std::size_t i = from;
#ifdef __SSE2__
    const __m128i wantA = _mm_set1_epi8(a);
    const __m128i wantB = _mm_set1_epi8(b);
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, wantA), _mm_cmpeq_epi8(block, wantB)));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
#endif
    for (; i < n; ++i) {
        if (text[i] == a || text[i] == b) {
            return i;
        }
    }
    return kNotFound;
}

std::size_t findIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t from) {
    return findIgnoreCaseT(text, key, from);
}
std::size_t findIgnoreCase(std::u16string_view text, std::string_view key, std::size_t from) {
    return findIgnoreCaseT(text, key, from);
}
std::size_t findIgnoreCase(std::string_view text, std::string_view key, std::size_t from) {
    return findIgnoreCaseT(text, key, from);
}

std::size_t rfindIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t before, std::size_t floor) {
    return rfindIgnoreCaseT(text, key, before, floor);
}
std::size_t rfindIgnoreCase(std::u16string_view text, std::string_view key, std::size_t before, std::size_t floor) {
    return rfindIgnoreCaseT(text, key, before, floor);
}
std::size_t rfindIgnoreCase(std::string_view text, std::string_view key, std::size_t before, std::size_t floor) {
    return rfindIgnoreCaseT(text, key, before, floor);
}

bool matchesAt(std::u16string_view text, std::u16string_view key, std::size_t pos) {
    return matchesAtT(text, key, pos);
}
bool matchesAt(std::u16string_view text, std::string_view key, std::size_t pos) {
    return matchesAtT(text, key, pos);
}
bool matchesAt(std::string_view text, std::string_view key, std::size_t pos) {
    return matchesAtT(text, key, pos);
}

} // namespace quillora::engine
