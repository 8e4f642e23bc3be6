#include "PageEncoder.h"

#include "AsciiRuns.h"
#include "ByteOrderMark.h"
#include "Utf16.h"
#include "Utf8Sequences.h"
#include "Windows1252.h"

#include <algorithm>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

namespace quillora::charset {

namespace {

// A piece of n units never needs more than this many bytes: "&#65535;" for one unit, "&#1114111;" for a pair.
constexpr std::size_t kMaxBytesPerUnit = 8;
constexpr std::size_t kSlack = 16;

char* writeReference(char32_t code, char* out) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + code % 10);
        code /= 10;
    } while (code != 0);
    *out++ = '&';
    *out++ = '#';
    while (n > 0)
        *out++ = digits[--n];
    *out++ = ';';
    return out;
}

std::error_code icuError() {
    return std::make_error_code(std::errc::illegal_byte_sequence);
}

} // namespace

PageEncoder::PageEncoder() = default;

PageEncoder::~PageEncoder() {
    closeConverter();
}

void PageEncoder::closeConverter() {
    if (m_converter != nullptr)
        ucnv_close(m_converter);
    m_converter = nullptr;
}

std::error_code PageEncoder::start(const PageEncoding& encoding) {
    m_pendingHigh = 0;
    const bool sameConverter =
        m_converter != nullptr && encoding.kind == PageEncoding::Kind::Icu && encoding.icuName == m_encoding.icuName;
    m_encoding = encoding;
    if (sameConverter) {
        ucnv_resetFromUnicode(m_converter);
        return {};
    }
    closeConverter();
    if (encoding.kind != PageEncoding::Kind::Icu)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    m_converter = ucnv_open(encoding.icuName.c_str(), &status);
    if (U_SUCCESS(status))
        ucnv_setFromUCallBack(m_converter, UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_DEC, nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
        closeConverter();
        return icuError();
    }
    return {};
}

std::string_view PageEncoder::byteOrderMark() const {
    return ByteOrderMark::of(m_encoding);
}

std::error_code PageEncoder::encode(std::u16string_view piece, bool last, std::string_view& bytes) {
    // The buffer grows to the largest piece seen and is kept for the pages that follow.
    if (const std::size_t needed = piece.size() * kMaxBytesPerUnit + kSlack; m_buffer.size() < needed)
        m_buffer.resize(needed);
    char* const begin = m_buffer.data();
    char* end = begin;
    switch (m_encoding.kind) {
    case PageEncoding::Kind::Windows1252:
        end = encodeWindows1252(piece, last, begin);
        break;
    case PageEncoding::Kind::Utf8:
        end = encodeUtf8(piece, last, begin);
        break;
    case PageEncoding::Kind::Utf16LE:
    case PageEncoding::Kind::Utf16BE:
        end = encodeUtf16(piece, begin);
        break;
    case PageEncoding::Kind::Icu:
        return encodeWithConverter(piece, last, bytes);
    }
    bytes = std::string_view(begin, static_cast<std::size_t>(end - begin));
    return {};
}

std::error_code PageEncoder::encodeWhole(const PageEncoding& encoding, std::u16string_view text, std::string& out) {
    if (const auto error = start(encoding))
        return error;
    // An empty text is one last, empty piece too: a converter with shift states writes its closing bytes.
    do {
        const std::size_t length = std::min(text.size(), kPieceUnits);
        std::string_view bytes;
        if (const auto error = encode(text.substr(0, length), length == text.size(), bytes))
            return error;
        out.append(bytes);
        text.remove_prefix(length);
    } while (!text.empty());
    return {};
}

char32_t PageEncoder::takePending(std::u16string_view piece, std::size_t& i, bool last) {
    if (m_pendingHigh == 0 || (piece.empty() && !last))
        return 0;
    const char16_t high = m_pendingHigh;
    m_pendingHigh = 0;
    if (!piece.empty() && utf16::isLowSurrogate(piece[0])) {
        i = 1;
        return utf16::joinSurrogates(high, piece[0]);
    }
    return utf16::kReplacement;
}

char32_t PageEncoder::codePointAt(std::u16string_view piece, std::size_t& i, bool last) {
    if (utf16::isHighSurrogate(piece[i]) && i + 1 == piece.size() && !last) {
        m_pendingHigh = piece[i]; // its low surrogate may begin the next piece
        return 0;
    }
    return utf16::codePointAt(piece, i);
}

char* PageEncoder::encodeWindows1252(std::u16string_view piece, bool last, char* out) {
    std::size_t i = 0;
    if (const char32_t code = takePending(piece, i, last); code != 0)
        out = writeReference(code, out);
    while (i < piece.size()) {
        const std::size_t run = narrowAsciiRun(piece.data() + i, piece.size() - i, out);
        i += run;
        out += run;
        if (i == piece.size())
            break;
        const char16_t unit = piece[i];
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
        } else if (const auto byte = Windows1252::encode(unit)) {
            *out++ = static_cast<char>(*byte);
        } else if (const char32_t code = codePointAt(piece, i, last); code != 0) {
            out = writeReference(code, out);
        }
        ++i;
    }
    return out;
}

char* PageEncoder::encodeUtf8(std::u16string_view piece, bool last, char* out) {
    std::size_t i = 0;
    if (const char32_t code = takePending(piece, i, last); code != 0)
        out = utf8::writeCodePoint(code, out);
    while (i < piece.size()) {
        const std::size_t run = narrowAsciiRun(piece.data() + i, piece.size() - i, out);
        i += run;
        out += run;
        if (i == piece.size())
            break;
        const char16_t unit = piece[i];
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
        } else if (const char32_t code = codePointAt(piece, i, last); code != 0) {
            out = utf8::writeCodePoint(code, out);
        }
        ++i;
    }
    return out;
}

char* PageEncoder::encodeUtf16(std::u16string_view piece, char* out) const {
    const bool bigEndian = m_encoding.kind == PageEncoding::Kind::Utf16BE;
    for (const char16_t unit : piece) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        *out++ = bigEndian ? high : low;
        *out++ = bigEndian ? low : high;
    }
    return out;
}

std::error_code PageEncoder::encodeWithConverter(std::u16string_view piece, bool last, std::string_view& bytes) {
    if (m_converter == nullptr)
        return icuError();
    const UChar* source = piece.data();
    const UChar* sourceEnd = source + piece.size();
    std::size_t used = 0;
    UErrorCode status = U_ZERO_ERROR;
    for (;;) {
        char* target = m_buffer.data() + used;
        ucnv_fromUnicode(m_converter, &target, m_buffer.data() + m_buffer.size(), &source, sourceEnd, nullptr, last,
                         &status);
        used = static_cast<std::size_t>(target - m_buffer.data());
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        status = U_ZERO_ERROR;
        m_buffer.resize(m_buffer.size() * 2);
    }
    if (U_FAILURE(status))
        return icuError();
    bytes = std::string_view(m_buffer.data(), used);
    return {};
}

} // namespace quillora::charset
