#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillora::charset {

// Copying runs of ASCII many characters at a time: widenAsciiRun copies the leading run of ASCII bytes into
// code units, narrowAsciiRun the leading run of code units below 0x80 into bytes. Each returns how many it
// took, never past the first other character; the caller takes that one (and a short tail) itself and calls
// again. They may write up to 16 places beyond what they took, within the length of the source. asciiRunLength
// only measures the leading run of ASCII bytes, the same way.

#if defined(__SSE2__)

inline std::size_t asciiRunLength(const unsigned char* bytes, std::size_t size) {
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        if (const int high = _mm_movemask_epi8(chunk); high != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
    }
    return i;
}

inline std::size_t widenAsciiRun(const unsigned char* bytes, std::size_t size, char16_t* units) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        // The whole block is stored; units past the first non-ASCII byte are overwritten by the caller.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i + 8), _mm_unpackhi_epi8(chunk, zero));
        if (const int high = _mm_movemask_epi8(chunk); high != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
    }
    return i;
}

inline std::size_t narrowAsciiRun(const char16_t* units, std::size_t size, char* bytes) {
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i + 8));
        // The whole block is stored; bytes past the first other unit are overwritten by the caller.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), _mm_packus_epi16(low, next));
        const __m128i either = _mm_and_si128(_mm_or_si128(low, next), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(either, zero)) == 0xFFFF)
            continue;
        // One mask bit per unit, set where the unit is ASCII.
        const __m128i lowAscii = _mm_cmpeq_epi16(_mm_and_si128(low, high), zero);
        const __m128i nextAscii = _mm_cmpeq_epi16(_mm_and_si128(next, high), zero);
        const auto ascii = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(lowAscii, nextAscii)));
        if (ascii != 0xFFFF)
            return i + static_cast<std::size_t>(__builtin_ctz(~ascii));
    }
    return i;
}

#else

inline std::size_t asciiRunLength(const unsigned char* bytes, std::size_t size) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if ((word & kHighBits) != 0)
            break;
    }
    return i;
}

inline std::size_t widenAsciiRun(const unsigned char* bytes, std::size_t size, char16_t* units) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if ((word & kHighBits) != 0)
            break;
        for (std::size_t k = 0; k < 8; ++k)
            units[i + k] = bytes[i + k];
    }
    return i;
}

inline std::size_t narrowAsciiRun(const char16_t* units, std::size_t size, char* bytes) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        char16_t any = 0;
        for (std::size_t k = 0; k < 8; ++k)
            any |= units[i + k];
        if (any >= 0x80)
            break;
        for (std::size_t k = 0; k < 8; ++k)
            bytes[i + k] = static_cast<char>(units[i + k]);
    }
    return i;
}

#endif

} // namespace quillora::charset
