#include "Base64.h"

namespace quillora::run {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char* encodeTriple(const unsigned char* in, char* out) {
    const unsigned value = (unsigned{in[0]} << 16) | (unsigned{in[1]} << 8) | unsigned{in[2]};
    out[0] = kAlphabet[value >> 18];
    out[1] = kAlphabet[(value >> 12) & 0x3F];
    out[2] = kAlphabet[(value >> 6) & 0x3F];
    out[3] = kAlphabet[value & 0x3F];
    return out + 4;
}

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
    for (std::size_t i = 0; i < whole; ++i, in += 3)
        out = encodeTriple(in, out);
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

} // namespace quillora::run
