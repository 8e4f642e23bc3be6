#include "Base64.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLORA_BASE64_SSSE3 1
#endif

namespace quillora::crypto {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every 12 bits as their two characters: one look-up per half of a group, which halves the work for the
// megabytes of a large page.
struct PairTable {
    char pairs[4096][2];
    constexpr PairTable() : pairs() {
        for (int i = 0; i < 4096; ++i) {
            pairs[i][0] = kAlphabet[i >> 6];
            pairs[i][1] = kAlphabet[i & 0x3F];
        }
    }
};
constexpr PairTable kPairs;

char* encodeTriple(const unsigned char* in, char* out) {
    const unsigned value = (unsigned{in[0]} << 16) | (unsigned{in[1]} << 8) | unsigned{in[2]};
    const char* high = kPairs.pairs[value >> 12];
    const char* low = kPairs.pairs[value & 0xFFF];
    out[0] = high[0];
    out[1] = high[1];
    out[2] = low[0];
    out[3] = low[1];
    return out + 4;
}

/// Whole groups, one at a time; returns where the output ends.
char* encodeGroups(const unsigned char* in, std::size_t groups, char* out) {
    for (std::size_t i = 0; i < groups; ++i, in += 3)
        out = encodeTriple(in, out);
    return out;
}

#ifdef QUILLORA_BASE64_SSSE3
/// Twelve bytes into sixteen characters at a time with SSSE3, by the well-known multiply-and-shuffle method:
/// each group's bytes are spread over a 32-bit lane, the four 6-bit values moved into bytes by two multiplications, and
/// the values turned into characters by the offset of their range. Returns the number of groups done; it reads 16 bytes
/// for every 12, so it stops while 16 remain.
__attribute__((target("ssse3"))) std::size_t encodeGroupsSsse3(const unsigned char* in, std::size_t groups, char* out) {
    const __m128i spread = _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1);
    const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                          '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    std::size_t done = 0;
    for (; (done + 4) * 3 + 4 <= groups * 3; done += 4, in += 12, out += 16) {
        __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), spread);
        const __m128i high = _mm_mulhi_epu16(_mm_and_si128(v, _mm_set1_epi32(0x0FC0FC00)), _mm_set1_epi32(0x04000040));
        const __m128i low = _mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi32(0x003F03F0)), _mm_set1_epi32(0x01000010));
        const __m128i values = _mm_or_si128(high, low);
        // 0-25 take offset 13 ('A'), 26-51 offset 0, 52-61 offsets 1-10, 62 and 63 offsets 11 and 12.
        __m128i range = _mm_subs_epu8(values, _mm_set1_epi8(51));
        range = _mm_or_si128(range, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), values), _mm_set1_epi8(13)));
        v = _mm_add_epi8(_mm_shuffle_epi8(offsets, range), values);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    }
    return done;
}

bool hasSsse3() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}
#endif

} // namespace

void Base64Writer::append(std::string_view bytes) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    // Complete a triple begun by the previous piece.
    while (m_heldCount > 0 && left > 0) {
        unsigned char triple[3] = {m_held[0], m_held[1], 0};
        triple[m_heldCount++] = *in++;
        --left;
        if (m_heldCount < 3) {
            m_held[1] = triple[1];
            continue;
        }
        char quad[4];
        encodeTriple(triple, quad);
        m_out.append(quad, 4);
        m_heldCount = 0;
    }
    const std::size_t whole = left / 3;
    const std::size_t start = m_out.size();
    m_out.resize(start + whole * 4);
    char* out = m_out.data() + start;
    std::size_t done = 0;
#ifdef QUILLORA_BASE64_SSSE3
    if (hasSsse3()) {
        done = encodeGroupsSsse3(in, whole, out);
        in += done * 3;
        out += done * 4;
    }
#endif
    encodeGroups(in, whole - done, out);
    in += (whole - done) * 3;
    left -= whole * 3;
    for (std::size_t i = 0; i < left; ++i)
        m_held[m_heldCount++] = in[i];
}

void Base64Writer::finish() {
    if (m_heldCount == 0)
        return;
    unsigned char triple[3] = {m_held[0], 0, 0};
    if (m_heldCount > 1)
        triple[1] = m_held[1];
    char quad[4];
    encodeTriple(triple, quad);
    quad[3] = '=';
    if (m_heldCount == 1)
        quad[2] = '=';
    m_out.append(quad, 4);
    m_heldCount = 0;
}

std::string toBase64(std::string_view bytes) {
    std::string text;
    text.reserve(Base64Writer::encodedLength(bytes.size()));
    Base64Writer writer(text);
    writer.append(bytes);
    writer.finish();
    return text;
}

namespace {

/// The value of a base64 character; -1 for any other.
int valueOf(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    return c == '/' ? 63 : -1;
}

} // namespace

bool fromBase64(std::string_view text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    std::size_t padding = 0;
    while (padding < 2 && text.size() > padding && text[text.size() - 1 - padding] == '=')
        ++padding;
    bytes.reserve(text.size() / 4 * 3);
    unsigned group = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = valueOf(text[i]);
        if (value < 0)
            return false;
        group = (group << 6) | static_cast<unsigned>(value);
        if (i % 4 == 3) {
            bytes += static_cast<char>(group >> 16);
            bytes += static_cast<char>((group >> 8) & 0xFF);
            bytes += static_cast<char>(group & 0xFF);
            group = 0;
        }
    }
    // The last group's bits beyond its bytes are zero in base64 as written.
    if (padding == 1) {
        if ((group & 0x3) != 0)
            return false;
        bytes += static_cast<char>(group >> 10);
        bytes += static_cast<char>((group >> 2) & 0xFF);
    } else if (padding == 2) {
        if ((group & 0xF) != 0)
            return false;
        bytes += static_cast<char>(group >> 4);
    }
    return true;
}

} // namespace quillora::crypto
