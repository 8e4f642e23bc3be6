#include "PageCharsets.h"

#include "AsciiRuns.h"
#include "PageDecoder.h"
#include "Utf8Sequences.h"
#include "Windows1252.h"
#include "engine/Escape.h"

#include <algorithm>
#include <unicode/ucnv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillora::charset {

namespace {

// The ICU sets whose bytes below 0x80 always stand for that ASCII character, checked by ICUCharsetsTest.
constexpr std::string_view kAsciiKeyConverters[] = {
    "ibm-866",      "ISO-8859-2",   "ISO-8859-3",   "ISO-8859-4",     "ISO-8859-5",     "ISO-8859-6",
    "ISO-8859-7",   "ISO-8859-8",   "ISO-8859-10",  "ISO-8859-13",    "ISO-8859-14",    "ISO-8859-15",
    "ISO-8859-16",  "KOI8-R",       "KOI8-U",       "macos-0_2-10.2", "macos-7_3-10.2", "windows-874-2000",
    "windows-1250", "windows-1251", "windows-1253", "windows-1254",   "windows-1255",   "windows-1256",
    "windows-1257", "windows-1258", "euc-jp-2007",
};

class Utf8Bytes : public engine::PageCharset<char> {
public:
    void appendEscapes(std::string& out, std::string_view span) const override {
        engine::ByteEscapeWriter writer(out);
        const auto* p = reinterpret_cast<const unsigned char*>(span.data());
        const std::size_t size = span.size();
        for (std::size_t i = 0; i < size;) {
            // ASCII bytes are their code units: escaped straight from the bytes.
            const std::size_t run = asciiRunLength(p + i, size - i);
            writer.latin1(span.substr(i, run));
            i += run;
            if (i == size)
                break;
            if (p[i] < 0x80) {
                writer.unit(p[i++]);
            } else if (p[i] >= 0xC2 && p[i] <= 0xDF && i + 1 < size && (p[i + 1] & 0xC0) == 0x80) {
                // Two-byte sequences (Latin, Greek, Cyrillic, ...) are the usual case and are taken directly.
                writer.unit(static_cast<char16_t>(((p[i] & 0x1F) << 6) | (p[i + 1] & 0x3F)));
                i += 2;
            } else {
                char16_t units[2];
                char16_t* end = units;
                i += utf8::decodeOne(p + i, size - i, end);
                writer.units(std::u16string_view(units, static_cast<std::size_t>(end - units)));
            }
        }
    }
    std::u16string units(std::string_view span) const override {
        std::u16string text;
        PageDecoder::decodeUtf8AsBrowsers(span, text);
        return text;
    }
    std::size_t writtenBytes(std::string_view text) const override { return text.size(); }
};

/// The first byte at or after from in 0x80 to 0x9F, the only ones Windows-1252 does not share with Latin-1.
std::size_t findHighControl(std::string_view bytes, std::size_t from) {
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i controls = _mm_set1_epi8(static_cast<char>(0x80));
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        if (const int hit = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(chunk, mask), controls)); hit != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hit)));
    }
#endif
    for (; i < bytes.size(); ++i) {
        if ((static_cast<unsigned char>(bytes[i]) & 0xE0) == 0x80)
            return i;
    }
    return bytes.size();
}

class Windows1252Bytes : public engine::PageCharset<char> {
public:
    void appendEscapes(std::string& out, std::string_view span) const override {
        engine::ByteEscapeWriter writer(out);
        for (std::size_t from = 0; from < span.size();) {
            // Every other byte is the code unit of its value.
            const std::size_t at = findHighControl(span, from);
            writer.latin1(span.substr(from, at - from));
            if (at == span.size())
                break;
            writer.unit(Windows1252::decode(static_cast<unsigned char>(span[at])));
            from = at + 1;
        }
    }
    std::u16string units(std::string_view span) const override {
        std::u16string text;
        PageDecoder::decodeWindows1252(span, text);
        return text;
    }
    std::size_t writtenBytes(std::string_view text) const override { return text.size(); }
};

// Any other such set through its converter, a block of units at a time.
class ConverterBytes : public engine::PageCharset<char> {
public:
    explicit ConverterBytes(UConverter* converter) : m_converter(converter) {}
    ~ConverterBytes() override { ucnv_close(m_converter); }
    ConverterBytes(const ConverterBytes&) = delete;
    ConverterBytes& operator=(const ConverterBytes&) = delete;

    void appendEscapes(std::string& out, std::string_view span) const override {
        engine::ByteEscapeWriter writer(out);
        convert(span, [&](std::u16string_view units) { writer.units(units); });
    }
    std::u16string units(std::string_view span) const override {
        std::u16string text;
        convert(span, [&](std::u16string_view units) { text += units; });
        return text;
    }
    std::size_t writtenBytes(std::string_view text) const override { return text.size(); }

private:
    template <typename Sink> void convert(std::string_view span, Sink&& sink) const {
        ucnv_resetToUnicode(m_converter);
        UChar block[2048];
        const char* source = span.data();
        const char* sourceEnd = source + span.size();
        UErrorCode status = U_ZERO_ERROR;
        do {
            status = U_ZERO_ERROR;
            UChar* target = block;
            ucnv_toUnicode(m_converter, &target, block + std::size(block), &source, sourceEnd, nullptr, true, &status);
            sink(std::u16string_view(block, static_cast<std::size_t>(target - block)));
        } while (status == U_BUFFER_OVERFLOW_ERROR);
    }

    UConverter* m_converter;
};

} // namespace

bool readsMarkupInBytes(const PageEncoding& encoding) {
    switch (encoding.kind) {
    case PageEncoding::Kind::Windows1252:
    case PageEncoding::Kind::Utf8:
        return true;
    case PageEncoding::Kind::Utf16LE:
    case PageEncoding::Kind::Utf16BE:
        return false;
    case PageEncoding::Kind::Icu:
        return std::find(std::begin(kAsciiKeyConverters), std::end(kAsciiKeyConverters), encoding.icuName) !=
               std::end(kAsciiKeyConverters);
    }
    return false;
}

std::unique_ptr<engine::PageCharset<char>> byteCharsetFor(const PageEncoding& encoding) {
    switch (encoding.kind) {
    case PageEncoding::Kind::Windows1252:
        return std::make_unique<Windows1252Bytes>();
    case PageEncoding::Kind::Utf8:
        return std::make_unique<Utf8Bytes>();
    case PageEncoding::Kind::Icu: {
        if (!readsMarkupInBytes(encoding))
            return nullptr;
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open(encoding.icuName.c_str(), &status);
        if (U_FAILURE(status) || converter == nullptr)
            return nullptr;
        return std::make_unique<ConverterBytes>(converter);
    }
    default:
        return nullptr;
    }
}

std::size_t DecodedCharset::writtenBytes(std::u16string_view text) const {
    if (m_encoding.isUtf16())
        return 2 * text.size();
    return encodeText(m_encoder, m_encoding, text).size();
}

std::string encodeText(PageEncoder& encoder, const PageEncoding& encoding, std::u16string_view text) {
    std::string bytes;
    if (encoder.encodeWhole(encoding, text, bytes))
        return {};
    return bytes;
}

} // namespace quillora::charset
