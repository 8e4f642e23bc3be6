#include "Escape.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLORA_ESCAPE_SSSE3 1
#endif

namespace quillora::engine {

namespace {

// Escapes are copied from tables four or eight bytes at a time; a unit below 256 uses three of the four
// characters copied, so the destination needs one character of slack after the last escape.
template <typename Char> struct EscapeTables {
    alignas(8) Char byteEscape[256][4]; // "%XY" and one spare character
    alignas(8) Char highEscape[256][4]; // "%uXY", the high byte of a unit from 256 upwards
    alignas(4) Char hexPair[256][2];    // "XY", the low byte

    constexpr EscapeTables() : byteEscape(), highEscape(), hexPair() {
        constexpr char digits[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            const Char hi = digits[b >> 4];
            const Char lo = digits[b & 15];
            hexPair[b][0] = hi, hexPair[b][1] = lo;
            byteEscape[b][0] = '%', byteEscape[b][1] = hi, byteEscape[b][2] = lo, byteEscape[b][3] = 0;
            highEscape[b][0] = '%', highEscape[b][1] = 'u', highEscape[b][2] = hi, highEscape[b][3] = lo;
        }
    }
};

constexpr EscapeTables<char16_t> kWideTables;
constexpr EscapeTables<char> kByteTables;

template <typename Char> Char* escapeOne(Char* dst, char16_t c, const EscapeTables<Char>& tables) {
    if (c < 256) {
        std::memcpy(dst, tables.byteEscape[c], 4 * sizeof(Char));
        return dst + 3;
    }
    std::memcpy(dst, tables.highEscape[c >> 8], 4 * sizeof(Char));
    std::memcpy(dst + 4, tables.hexPair[c & 255], 2 * sizeof(Char));
    return dst + 6;
}

char16_t* escapeScalar(char16_t* dst, const char16_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        dst = escapeOne(dst, src[i], kWideTables);
    }
    return dst;
}

char* escapeScalar(char* dst, const char16_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        dst = escapeOne(dst, src[i], kByteTables);
    }
    return dst;
}

char* escapeScalar(char* dst, const unsigned char* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(dst, kByteTables.byteEscape[src[i]], 4);
        dst += 3;
    }
    return dst;
}

#ifdef QUILLORA_ESCAPE_SSSE3
// Eight units below 256 at a time: their hex digits come from one byte shuffle each for the high and low
// nibbles, and three more shuffles lay "%", high digit and low digit out as 24 UTF-16 units.
__attribute__((target("ssse3"))) char16_t* escapeSsse3(char16_t* dst, const char16_t* src, std::size_t n) {
    constexpr char Z = char(0x80); // a shuffle index that yields 0
    const __m128i hexDigits =
        _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i highBytes = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i zero = _mm_setzero_si128();
    const __m128i lay0 = _mm_setr_epi8(Z, Z, 0, Z, 8, Z, Z, Z, 1, Z, 9, Z, Z, Z, 2, Z);
    const __m128i lay1 = _mm_setr_epi8(10, Z, Z, Z, 3, Z, 11, Z, Z, Z, 4, Z, 12, Z, Z, Z);
    const __m128i lay2 = _mm_setr_epi8(5, Z, 13, Z, Z, Z, 6, Z, 14, Z, Z, Z, 7, Z, 15, Z);
    const __m128i percent0 = _mm_setr_epi16('%', 0, 0, '%', 0, 0, '%', 0);
    const __m128i percent1 = _mm_setr_epi16(0, '%', 0, 0, '%', 0, 0, '%');
    const __m128i percent2 = _mm_setr_epi16(0, 0, '%', 0, 0, '%', 0, 0);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, highBytes), zero)) != 0xFFFF) {
            dst = escapeScalar(dst, src + i, 8);
            continue;
        }
        const __m128i bytes = _mm_packus_epi16(units, units);
        const __m128i high = _mm_shuffle_epi8(hexDigits, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
        const __m128i low = _mm_shuffle_epi8(hexDigits, _mm_and_si128(bytes, nibble));
        const __m128i digits = _mm_unpacklo_epi64(high, low);
        auto* out = reinterpret_cast<__m128i*>(dst);
        _mm_storeu_si128(out, _mm_or_si128(_mm_shuffle_epi8(digits, lay0), percent0));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_shuffle_epi8(digits, lay1), percent1));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_shuffle_epi8(digits, lay2), percent2));
        dst += 24;
    }
    return escapeScalar(dst, src + i, n - i);
}

// The same, sixteen units at a time: each 128-bit lane escapes eight units as above, and the six halves are
// put back in order on the way out.
__attribute__((target("avx2"))) char16_t* escapeAvx2(char16_t* dst, const char16_t* src, std::size_t n) {
    constexpr char Z = char(0x80);
    const __m256i hexDigits =
        _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F', '0', '1', '2',
                         '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i highBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lay0 = _mm256_setr_epi8(Z, Z, 0, Z, 8, Z, Z, Z, 1, Z, 9, Z, Z, Z, 2, Z, Z, Z, 0, Z, 8, Z, Z, Z, 1, Z,
                                          9, Z, Z, Z, 2, Z);
    const __m256i lay1 = _mm256_setr_epi8(10, Z, Z, Z, 3, Z, 11, Z, Z, Z, 4, Z, 12, Z, Z, Z, 10, Z, Z, Z, 3, Z, 11, Z,
                                          Z, Z, 4, Z, 12, Z, Z, Z);
    const __m256i lay2 = _mm256_setr_epi8(5, Z, 13, Z, Z, Z, 6, Z, 14, Z, Z, Z, 7, Z, 15, Z, 5, Z, 13, Z, Z, Z, 6, Z,
                                          14, Z, Z, Z, 7, Z, 15, Z);
    const __m256i percent0 = _mm256_setr_epi16('%', 0, 0, '%', 0, 0, '%', 0, '%', 0, 0, '%', 0, 0, '%', 0);
    const __m256i percent1 = _mm256_setr_epi16(0, '%', 0, 0, '%', 0, 0, '%', 0, '%', 0, 0, '%', 0, 0, '%');
    const __m256i percent2 = _mm256_setr_epi16(0, 0, '%', 0, 0, '%', 0, 0, 0, 0, '%', 0, 0, '%', 0, 0);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i units = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_and_si256(units, highBytes), zero)) != -1) {
            dst = escapeScalar(dst, src + i, 16);
            continue;
        }
        const __m256i bytes = _mm256_packus_epi16(units, units);
        const __m256i high = _mm256_shuffle_epi8(hexDigits, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
        const __m256i low = _mm256_shuffle_epi8(hexDigits, _mm256_and_si256(bytes, nibble));
        const __m256i digits = _mm256_unpacklo_epi64(high, low);
        const __m256i out0 = _mm256_or_si256(_mm256_shuffle_epi8(digits, lay0), percent0);
        const __m256i out1 = _mm256_or_si256(_mm256_shuffle_epi8(digits, lay1), percent1);
        const __m256i out2 = _mm256_or_si256(_mm256_shuffle_epi8(digits, lay2), percent2);
        auto* out = reinterpret_cast<__m256i*>(dst);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(out0, out1, 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(out2, out0, 0x30));
        _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(out1, out2, 0x31));
        dst += 48;
    }
    return escapeSsse3(dst, src + i, n - i);
}

// Sixteen bytes (each a code unit below 256) into their 48 escape bytes: digits by shuffles from the nibbles,
// then each 16-byte piece of the output takes its high and low digits by two more shuffles and its "%" signs.
__attribute__((target("ssse3"))) inline void escapeSixteen(char* dst, __m128i bytes) {
    constexpr char Z = char(0x80);
    const __m128i hexDigits =
        _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_shuffle_epi8(hexDigits, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
    const __m128i low = _mm_shuffle_epi8(hexDigits, _mm_and_si128(bytes, nibble));
    const __m128i h0 = _mm_setr_epi8(Z, 0, Z, Z, 1, Z, Z, 2, Z, Z, 3, Z, Z, 4, Z, Z);
    const __m128i l0 = _mm_setr_epi8(Z, Z, 0, Z, Z, 1, Z, Z, 2, Z, Z, 3, Z, Z, 4, Z);
    const __m128i p0 = _mm_setr_epi8('%', 0, 0, '%', 0, 0, '%', 0, 0, '%', 0, 0, '%', 0, 0, '%');
    const __m128i h1 = _mm_setr_epi8(5, Z, Z, 6, Z, Z, 7, Z, Z, 8, Z, Z, 9, Z, Z, 10);
    const __m128i l1 = _mm_setr_epi8(Z, 5, Z, Z, 6, Z, Z, 7, Z, Z, 8, Z, Z, 9, Z, Z);
    const __m128i p1 = _mm_setr_epi8(0, 0, '%', 0, 0, '%', 0, 0, '%', 0, 0, '%', 0, 0, '%', 0);
    const __m128i h2 = _mm_setr_epi8(Z, Z, 11, Z, Z, 12, Z, Z, 13, Z, Z, 14, Z, Z, 15, Z);
    const __m128i l2 = _mm_setr_epi8(10, Z, Z, 11, Z, Z, 12, Z, Z, 13, Z, Z, 14, Z, Z, 15);
    const __m128i p2 = _mm_setr_epi8(0, '%', 0, 0, '%', 0, 0, '%', 0, 0, '%', 0, 0, '%', 0, 0);
    auto* out = reinterpret_cast<__m128i*>(dst);
    _mm_storeu_si128(out, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(high, h0), _mm_shuffle_epi8(low, l0)), p0));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(high, h1), _mm_shuffle_epi8(low, l1)), p1));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(high, h2), _mm_shuffle_epi8(low, l2)), p2));
}

__attribute__((target("ssse3"))) char* escapeSsse3(char* dst, const unsigned char* src, std::size_t n) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        escapeSixteen(dst, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        dst += 48;
    }
    return escapeScalar(dst, src + i, n - i);
}

__attribute__((target("ssse3"))) char* escapeSsse3(char* dst, const char16_t* src, std::size_t n) {
    const __m128i highBytes = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(a, b), highBytes), zero)) != 0xFFFF) {
            dst = escapeScalar(dst, src + i, 16);
            continue;
        }
        escapeSixteen(dst, _mm_packus_epi16(a, b));
        dst += 48;
    }
    return escapeScalar(dst, src + i, n - i);
}

int simdLevel() {
    static const int level = __builtin_cpu_supports("avx2") ? 2 : __builtin_cpu_supports("ssse3") ? 1 : 0;
    return level;
}
#endif

// Writes the escapes of n units to dst, which has room for them plus one character, and returns the new end.
char16_t* escapeInto(char16_t* dst, const char16_t* src, std::size_t n) {
#ifdef QUILLORA_ESCAPE_SSSE3
    if (simdLevel() == 2) {
        return escapeAvx2(dst, src, n);
    }
    if (simdLevel() == 1) {
        return escapeSsse3(dst, src, n);
    }
#endif
    return escapeScalar(dst, src, n);
}

template <typename Source> char* escapeInto(char* dst, const Source* src, std::size_t n) {
#ifdef QUILLORA_ESCAPE_SSSE3
    if (simdLevel() >= 1) {
        return escapeSsse3(dst, src, n);
    }
#endif
    return escapeScalar(dst, src, n);
}

constexpr std::size_t kWideBlock = 2048;

} // namespace

void appendEscapes(std::u16string& out, std::u16string_view units) {
    thread_local char16_t scratch[kWideBlock * 6 + 8];
    for (std::size_t i = 0; i < units.size(); i += kWideBlock) {
        const std::u16string_view block = units.substr(i, kWideBlock);
        const char16_t* end = escapeInto(scratch, block.data(), block.size());
        out.append(scratch, static_cast<std::size_t>(end - scratch));
    }
}

void ByteEscapeWriter::flush() {
    m_out.append(m_block, m_used);
    m_used = 0;
}

void ByteEscapeWriter::unit(char16_t unit) {
    if (m_used + 6 > kBlock) {
        flush();
    }
    m_used = static_cast<std::size_t>(escapeOne(m_block + m_used, unit, kByteTables) - m_block);
}

void ByteEscapeWriter::units(std::u16string_view units) {
    while (!units.empty()) {
        std::size_t room = (kBlock - m_used) / 6;
        if (room == 0) {
            flush();
            room = kBlock / 6;
        }
        const std::size_t n = std::min(room, units.size());
        m_used = static_cast<std::size_t>(escapeInto(m_block + m_used, units.data(), n) - m_block);
        units.remove_prefix(n);
    }
}

void ByteEscapeWriter::latin1(std::string_view bytes) {
    if (bytes.size() < 16 && m_used + 3 * bytes.size() <= kBlock) {
        // Short runs between other characters are the usual case in most languages.
        m_used = static_cast<std::size_t>(
            escapeScalar(m_block + m_used, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) -
            m_block);
        return;
    }
    while (!bytes.empty()) {
        std::size_t room = (kBlock - m_used) / 3;
        if (room == 0) {
            flush();
            room = kBlock / 3;
        }
        const std::size_t n = std::min(room, bytes.size());
        const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
        m_used = static_cast<std::size_t>(escapeInto(m_block + m_used, src, n) - m_block);
        bytes.remove_prefix(n);
    }
}

} // namespace quillora::engine
