#include "PageLanguage.h"

#include "charset/ByteOrderMark.h"
#include "charset/PageDecoder.h"
#include "charset/TagReader.h"

#include <algorithm>

namespace quillora::unlock {

namespace {

// Comments or a DOCTYPE longer than this before the html tag are not looked past.
constexpr std::size_t kLookedAt = std::size_t{1} << 16;
// The longest language tag taken over (longer ones are private-use oddities no browser's choice depends on).
constexpr std::size_t kLongestLang = 35;

bool isLanguageTag(std::string_view value) {
    return value.size() <= kLongestLang && std::all_of(value.begin(), value.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
           });
}

/// The first tag's attributes when it is the html start tag. Bytes in a set that writes ASCII as ASCII.
PageLanguage readHtmlTag(std::string_view bytes) {
    PageLanguage language;
    charset::TagReader reader(bytes);
    charset::MarkupTag tag;
    if (!reader.next(tag) || tag.endTag || tag.name != "html")
        return language;
    std::size_t position = tag.attributesAt;
    charset::TagAttribute attribute;
    bool sawLang = false;
    bool sawDir = false;
    // A browser takes the first of an attribute given twice.
    while (charset::TagReader::readAttribute(bytes, position, attribute)) {
        if (attribute.name == "lang" && !sawLang) {
            sawLang = true;
            if (isLanguageTag(attribute.value)) {
                language.lang = attribute.value;
                language.hasLang = true;
            }
        } else if (attribute.name == "dir" && !sawDir) {
            sawDir = true;
            if (attribute.value == "ltr" || attribute.value == "rtl" || attribute.value == "auto")
                language.dir = attribute.value;
        }
    }
    return language;
}

/// UTF-16 text narrowed to ASCII (every other character a "?", which no tag or attribute name holds).
std::string narrowed(std::u16string_view text) {
    std::string ascii;
    ascii.reserve(text.size());
    for (const char16_t c : text)
        ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
}

} // namespace

std::string PageLanguage::attributes() const {
    std::string out;
    if (hasLang)
        out += " lang=\"" + lang + "\"";
    if (!dir.empty())
        out += " dir=\"" + dir + "\"";
    return out;
}

std::string_view PageLanguage::primary() const {
    const std::string_view tag(lang);
    return tag.substr(0, tag.find('-'));
}

PageLanguage pageLanguage(std::string_view bytes, const charset::PageEncoding& encoding) {
    // In UTF-16 and in ISO-2022-JP an ASCII "<" byte may be half of another character: the text is read instead.
    if (encoding.isUtf16()) {
        std::u16string text;
        charset::PageDecoder::decodeUtf16(charset::ByteOrderMark::skip(bytes, encoding).substr(0, kLookedAt * 2),
                                          encoding.kind == charset::PageEncoding::Kind::Utf16BE, text);
        return readHtmlTag(narrowed(text));
    }
    bytes = charset::ByteOrderMark::skip(bytes, encoding).substr(0, kLookedAt);
    if (encoding.kind == charset::PageEncoding::Kind::Icu && encoding.icuName.starts_with("ISO_2022")) {
        std::u16string text;
        if (!charset::PageDecoder::decodeWithConverter(encoding.icuName, bytes, text))
            return {};
        return readHtmlTag(narrowed(text));
    }
    return readHtmlTag(bytes);
}

} // namespace quillora::unlock
