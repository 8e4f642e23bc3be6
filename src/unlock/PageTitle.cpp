#include "PageTitle.h"

#include "MarkupText.h"
#include "charset/ByteOrderMark.h"
#include "charset/PageDecoder.h"

#include <algorithm>

namespace quillora::unlock {

namespace {

using namespace markup;

/// Where the content of the first title element outside comments begins and ends.
template <class Char> bool findTitle(std::basic_string_view<Char> text, std::size_t& begin, std::size_t& end) {
    for (std::size_t i = text.find(Char('<')); i != std::basic_string_view<Char>::npos;
         i = text.find(Char('<'), i + 1)) {
        if (engine::matchesAt(text, "<!--", i)) {
            const std::size_t close = findAscii(text, "-->", i + 4);
            if (close == std::basic_string_view<Char>::npos)
                return false;
            i = close + 2;
            continue;
        }
        if (!engine::matchesAt(text, "<title", i) || !endsTagName(text, i + 6))
            continue;
        const std::size_t gt = text.find(Char('>'), i + 6);
        if (gt == std::basic_string_view<Char>::npos)
            return false;
        begin = gt + 1;
        for (std::size_t j = text.find(Char('<'), begin); j != std::basic_string_view<Char>::npos;
             j = text.find(Char('<'), j + 1)) {
            if (engine::matchesAt(text, "</title", j) && endsTagName(text, j + 7)) {
                end = j;
                return true;
            }
        }
        return false;
    }
    return false;
}

} // namespace

std::u16string pageTitle(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!findTitle(text, begin, end))
        return {};
    return std::u16string(text.substr(begin, end - begin));
}

std::u16string pageTitle(std::string_view bytes, const charset::PageEncoding& encoding) {
    std::u16string text;
    // In UTF-16 and in ISO-2022-JP an ASCII "<" byte may be half of another character: read the whole page.
    if (encoding.isUtf16()) {
        charset::PageDecoder::decodeUtf16(charset::ByteOrderMark::skip(bytes, encoding),
                                          encoding.kind == charset::PageEncoding::Kind::Utf16BE, text);
        return pageTitle(text);
    }
    if (encoding.kind == charset::PageEncoding::Kind::Icu && encoding.icuName.starts_with("ISO_2022")) {
        if (!charset::PageDecoder::decodeWithConverter(encoding.icuName, bytes, text))
            return {};
        return pageTitle(text);
    }
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!findTitle(bytes, begin, end))
        return {};
    const std::string_view inner = bytes.substr(begin, end - begin);
    switch (encoding.kind) {
    case charset::PageEncoding::Kind::Utf8:
        charset::PageDecoder::decodeUtf8AsBrowsers(inner, text);
        break;
    case charset::PageEncoding::Kind::Icu:
        if (charset::PageDecoder::decodeWithConverter(encoding.icuName, inner, text))
            break;
        [[fallthrough]];
    default:
        charset::PageDecoder::decodeWindows1252(inner, text);
    }
    return text;
}

} // namespace quillora::unlock
