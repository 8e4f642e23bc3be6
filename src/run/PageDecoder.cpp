#include "PageDecoder.h"

#include "AsciiRuns.h"
#include "CharsetSniffer.h"
#include "EncodingLabels.h"
#include "Windows1252.h"
#include "engine/LargeBuffer.h"

#include <algorithm>
#include <cstdint>
#include <unicode/ucnv.h>

namespace quillora::run {

namespace {

struct Utf8Lead {
    int trail; // number of continuation bytes
    unsigned char low;
    unsigned char high; // bounds of the first continuation byte
};

bool utf8Lead(unsigned char c, Utf8Lead& lead) {
    if (c >= 0xC2 && c <= 0xDF)
        lead = {1, 0x80, 0xBF};
    else if (c >= 0xE0 && c <= 0xEF)
        lead = {2, static_cast<unsigned char>(c == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(c == 0xED ? 0x9F : 0xBF)};
    else if (c >= 0xF0 && c <= 0xF4)
        lead = {3, static_cast<unsigned char>(c == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(c == 0xF4 ? 0x8F : 0xBF)};
    else
        return false;
    return true;
}

/// Decodes one multi-byte sequence at p; returns its length, or 0 when it is invalid.
std::size_t decodeSequence(const unsigned char* p, std::size_t left, char16_t*& out) {
    Utf8Lead lead{};
    if (!utf8Lead(p[0], lead) || left < static_cast<std::size_t>(lead.trail) + 1)
        return 0;
    if (p[1] < lead.low || p[1] > lead.high)
        return 0;
    static constexpr unsigned kLeadMask[] = {0, 0x1F, 0x0F, 0x07};
    std::uint32_t code = p[0] & kLeadMask[lead.trail];
    for (int k = 1; k <= lead.trail; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[k] & 0x3F);
    }
    if (code >= 0x10000) {
        code -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 + (code >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
        *out++ = static_cast<char16_t>(code);
    }
    return static_cast<std::size_t>(lead.trail) + 1;
}

/// The length of the invalid sequence at p that one replacement character stands for (its maximal subpart).
std::size_t invalidLength(const unsigned char* p, std::size_t left) {
    Utf8Lead lead{};
    if (!utf8Lead(p[0], lead) || left < 2 || p[1] < lead.low || p[1] > lead.high)
        return 1;
    std::size_t length = 2;
    while (length < left && length <= static_cast<std::size_t>(lead.trail) && (p[length] & 0xC0) == 0x80)
        ++length;
    return length;
}

} // namespace

bool PageDecoder::decodeUtf8(std::string_view bytes, std::u16string& text, bool& sawNonAscii, bool replaceInvalid) {
    // UTF-16 never takes more code units than UTF-8 takes bytes.
    engine::reserveText(text, bytes.size());
    text.resize(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    char16_t* out = text.data();
    sawNonAscii = false;
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
        sawNonAscii = true;
        // Two-byte sequences (Latin, Greek, Cyrillic, ...) are the usual case and are taken directly.
        if (p[i] >= 0xC2 && p[i] <= 0xDF && i + 1 < size && (p[i + 1] & 0xC0) == 0x80) {
            *out++ = static_cast<char16_t>(((p[i] & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
            continue;
        }
        std::size_t length = decodeSequence(p + i, size - i, out);
        if (length == 0) {
            if (!replaceInvalid)
                return false;
            *out++ = u'\uFFFD';
            length = invalidLength(p + i, size - i);
        }
        i += length;
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return true;
}

void PageDecoder::decodeWindows1252(std::string_view bytes, std::u16string& text) {
    engine::reserveText(text, bytes.size());
    text.resize(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    char16_t* out = text.data();
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

bool PageDecoder::decodeAs(const PageEncoding& encoding, std::string_view bytes, std::u16string& text) {
    bool sawNonAscii = false;
    switch (encoding.kind) {
    case PageEncoding::Kind::Windows1252:
        decodeWindows1252(bytes, text);
        return true;
    case PageEncoding::Kind::Utf8:
        return decodeUtf8(bytes, text, sawNonAscii);
    case PageEncoding::Kind::Utf16LE:
    case PageEncoding::Kind::Utf16BE:
        decodeUtf16(bytes, encoding.kind == PageEncoding::Kind::Utf16BE, text);
        return true;
    case PageEncoding::Kind::Icu:
        return decodeWithConverter(encoding.icuName, bytes, text);
    }
    return false;
}

DecodedPage PageDecoder::decode(std::string bytes) {
    DecodedPage page;
    if (const auto mark = CharsetSniffer::byteOrderMark(bytes)) {
        page.encoding = *mark;
        const std::string_view body = std::string_view(bytes).substr(CharsetSniffer::byteOrderMarkLength(*mark));
        bool sawNonAscii = false;
        if (mark->kind == PageEncoding::Kind::Utf8)
            decodeUtf8(body, page.text, sawNonAscii, true);
        else
            decodeUtf16(body, mark->kind == PageEncoding::Kind::Utf16BE, page.text);
        return page;
    }
    if (const auto declared = encodingForLabel(CharsetSniffer::declaredLabel(bytes))) {
        if (decodeAs(*declared, bytes, page.text)) {
            page.encoding = *declared;
            return page;
        }
    }
    bool sawNonAscii = false;
    if (decodeUtf8(bytes, page.text, sawNonAscii)) {
        // All ASCII reads the same in both sets; Windows-1252 is what the page is written back in.
        page.encoding.kind = sawNonAscii ? PageEncoding::Kind::Utf8 : PageEncoding::Kind::Windows1252;
        return page;
    }
    decodeWindows1252(bytes, page.text);
    page.encoding.kind = PageEncoding::Kind::Windows1252;
    return page;
}

} // namespace quillora::run
