#include "ContentEncoding.h"

#include "LargeBuffer.h"
#include "MarkupScanner.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLORA_ESCAPE_SSSE3 1
#endif

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

char16_t* escapeOne(char16_t* dst, char16_t c) {
    if (c < 256) {
        std::memcpy(dst, kTables.byteEscape[c], 8);
        return dst + 3;
    }
    std::memcpy(dst, kTables.highEscape[c >> 8], 8);
    std::memcpy(dst + 4, kTables.hexPair[c & 255], 4);
    return dst + 6;
}

char16_t* escapeScalar(char16_t* dst, const char16_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        dst = escapeOne(dst, src[i]);
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
#endif

#ifdef QUILLORA_ESCAPE_SSSE3
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
#endif

// Writes the escapes of text to dst (which has room for them plus one character) and returns the new end.
char16_t* escapeInto(char16_t* dst, const char16_t* src, std::size_t n) {
#ifdef QUILLORA_ESCAPE_SSSE3
    static const int level = __builtin_cpu_supports("avx2") ? 2 : __builtin_cpu_supports("ssse3") ? 1 : 0;
    if (level == 2) {
        return escapeAvx2(dst, src, n);
    }
    if (level == 1) {
        return escapeSsse3(dst, src, n);
    }
#endif
    return escapeScalar(dst, src, n);
}

// Escapes are written to a scratch block first and appended from there: a string cannot grow without
// filling the new room, and copying a block that is still in the cache costs less than filling it.
constexpr std::size_t kBlock = 2048;

void appendEscapes(std::u16string& out, std::u16string_view text) {
    thread_local char16_t scratch[kBlock * 6 + 8];
    for (std::size_t i = 0; i < text.size(); i += kBlock) {
        const std::u16string_view block = text.substr(i, kBlock);
        const char16_t* end = escapeInto(scratch, block.data(), block.size());
        out.append(scratch, static_cast<std::size_t>(end - scratch));
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
    return 3 * text.size() + 3 * countAbove255(text);
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
    reserveText(out, kCallStart.size() + EscapedLength(text) + kCallEnd.size());
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
        // The element's end is searched after its start tag, which may itself hold "</script>" in a quoted value.
        const std::size_t close = gt == kNotFound ? kNotFound : findIgnoreCase(rest, u"</script>", gt + 1);
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
