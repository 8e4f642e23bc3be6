#include "PageDecoder.h"

#include "AsciiRuns.h"
#include "ByteOrderMark.h"
#include "CharsetDetector.h"
#include "CharsetSniffer.h"
#include "DeclaredCharset.h"
#include "Utf8Sequences.h"
#include "Windows1252.h"
#include "engine/LargeBuffer.h"

#include <algorithm>
#include <cstdint>
#include <unicode/ucnv.h>

namespace quillora::charset {

namespace {

/// Room for one code unit per byte, which no set read here exceeds (large memory pages for a large page).
char16_t* unitsFor(std::string_view bytes, std::u16string& text) {
    engine::reserveText(text, bytes.size());
    text.resize(bytes.size());
    return text.data();
}

} // namespace

void PageDecoder::decodeUtf8AsBrowsers(std::string_view bytes, std::u16string& text) {
    char16_t* out = unitsFor(bytes, text);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const std::size_t run = widenAsciiRun(p + i, size - i, out);
        i += run;
        out += run;
        if (i == size)
            break;
        if (p[i] < 0x80) {
            *out++ = p[i++];
            continue;
        }
        // Two-byte sequences (Latin, Greek, Cyrillic, ...) are the usual case and are taken directly.
        if (p[i] >= 0xC2 && p[i] <= 0xDF && i + 1 < size && (p[i + 1] & 0xC0) == 0x80) {
            *out++ = static_cast<char16_t>(((p[i] & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
            continue;
        }
        i += utf8::decodeOne(p + i, size - i, out);
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
}

void PageDecoder::decodeWindows1252(std::string_view bytes, std::u16string& text) {
    char16_t* out = unitsFor(bytes, text);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        i += widenAsciiRun(p + i, size - i, out + i);
        if (i < size) {
            out[i] = Windows1252::decode(p[i]);
            ++i;
        }
    }
}

void PageDecoder::decodeUtf16(std::string_view bytes, bool bigEndian, std::u16string& text) {
    const std::size_t units = bytes.size() / 2;
    text.resize(units + bytes.size() % 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const int high = bigEndian ? 0 : 1;
    for (std::size_t i = 0; i < units; ++i)
        text[i] = static_cast<char16_t>((p[2 * i + high] << 8) | p[2 * i + 1 - high]);
    if (bytes.size() % 2 != 0)
        text[units] = u'\uFFFD';
}

bool PageDecoder::decodeWithConverter(const std::string& converterName, std::string_view bytes, std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName.c_str(), &status);
    if (U_FAILURE(status) || converter == nullptr)
        return false;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    text.resize(bytes.size() + 16);
    const char* source = bytes.data();
    const char* sourceEnd = source + bytes.size();
    std::size_t used = 0;
    for (;;) {
        UChar* target = text.data() + used;
        ucnv_toUnicode(converter, &target, text.data() + text.size(), &source, sourceEnd, nullptr, true, &status);
        used = static_cast<std::size_t>(target - text.data());
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        status = U_ZERO_ERROR;
        text.resize(text.size() * 2);
    }
    ucnv_close(converter);
    text.resize(used);
    return U_SUCCESS(status);
}

bool PageDecoder::validWithConverter(const std::string& converterName, std::string_view bytes) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName.c_str(), &status);
    if (U_FAILURE(status) || converter == nullptr)
        return false;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    // The text is not kept: it goes through one small block.
    UChar block[4096];
    const char* source = bytes.data();
    const char* sourceEnd = source + bytes.size();
    do {
        status = U_ZERO_ERROR;
        UChar* target = block;
        ucnv_toUnicode(converter, &target, block + std::size(block), &source, sourceEnd, nullptr, true, &status);
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    ucnv_close(converter);
    return U_SUCCESS(status);
}

bool PageDecoder::isValidUtf8(std::string_view bytes, bool& sawNonAscii) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    sawNonAscii = false;
    char16_t units[2];
    for (std::size_t i = 0; i < size;) {
        i += asciiRunLength(p + i, size - i);
        if (i == size)
            break;
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        sawNonAscii = true;
        char16_t* out = units;
        const std::size_t length = utf8::decodeSequence(p + i, size - i, out);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

PageEncoding PageDecoder::encodingOf(std::string_view bytes) {
    const auto declared = DeclaredCharset::of(bytes);
    if (declared) {
        // A page that says it is UTF-8 is read as UTF-8 whatever it holds, as a browser reads it; any other set
        // only when the bytes are valid in it.
        if (declared->encoding.kind != PageEncoding::Kind::Icu || validWithConverter(declared->encoding.icuName, bytes))
            return declared->encoding;
    }
    bool sawNonAscii = false;
    PageEncoding encoding;
    // All ASCII reads the same in both sets; Windows-1252 is what the page is written back in.
    encoding.kind =
        isValidUtf8(bytes, sawNonAscii) && sawNonAscii ? PageEncoding::Kind::Utf8 : PageEncoding::Kind::Windows1252;
    // Where a browser guesses, so does the run; a page whose declaration does not fit its bytes is not guessed for.
    if (encoding.kind == PageEncoding::Kind::Windows1252 && sawNonAscii && !declared) {
        if (auto guessed = CharsetDetector::guess(bytes))
            return std::move(*guessed);
    }
    return encoding;
}

bool PageDecoder::decodeText(const PageEncoding& encoding, std::string_view bytes, std::u16string& text) {
    switch (encoding.kind) {
    case PageEncoding::Kind::Windows1252:
        decodeWindows1252(bytes, text);
        return true;
    case PageEncoding::Kind::Utf8:
        decodeUtf8AsBrowsers(bytes, text);
        return true;
    case PageEncoding::Kind::Utf16LE:
    case PageEncoding::Kind::Utf16BE:
        decodeUtf16(bytes, encoding.kind == PageEncoding::Kind::Utf16BE, text);
        return true;
    case PageEncoding::Kind::Icu:
        return decodeWithConverter(encoding.icuName, bytes, text);
    }
    return false;
}

DecodedPage PageDecoder::decode(std::string_view bytes) {
    DecodedPage page;
    page.encoding = encodingOf(bytes);
    const std::string_view body = ByteOrderMark::skip(bytes, page.encoding);
    decodeText(page.encoding, body, page.text);
    return page;
}

} // namespace quillora::charset
