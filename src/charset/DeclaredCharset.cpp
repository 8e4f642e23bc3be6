#include "DeclaredCharset.h"

#include "ByteOrderMark.h"
#include "CharsetSniffer.h"
#include "MetaCharset.h"
#include "TagReader.h"
#include "XmlDeclaration.h"

#include <algorithm>
#include <array>

namespace quillora::charset {

namespace {

// The tags after which Chromium still counts the page as in its head; html and head only as start tags.
constexpr std::array<std::string_view, 8> kHeadTags = {"script", "noscript", "style", "link",
                                                       "meta",   "object",   "title", "base"};

bool keepsHead(const MarkupTag& tag) {
    if (std::find(kHeadTags.begin(), kHeadTags.end(), tag.name) != kHeadTags.end())
        return true;
    return !tag.endTag && (tag.name == "html" || tag.name == "head");
}

} // namespace

std::optional<CharsetDeclaration> DeclaredCharset::of(std::string_view bytes) {
    if (auto mark = ByteOrderMark::find(bytes))
        return CharsetDeclaration{std::move(*mark), CharsetSource::ByteOrderMark};
    if (auto utf16 = XmlDeclaration::utf16(bytes))
        return CharsetDeclaration{std::move(*utf16), CharsetSource::Utf16XmlDeclaration};
    if (auto meta = ofMeta(bytes))
        return meta;
    if (auto xml = XmlDeclaration::encoding(bytes))
        return CharsetDeclaration{std::move(*xml), CharsetSource::XmlDeclaration};
    return std::nullopt;
}

std::optional<CharsetDeclaration> DeclaredCharset::ofMeta(std::string_view bytes) {
    TagReader reader(bytes);
    MarkupTag tag;
    bool inHead = true;
    while (reader.next(tag)) {
        const bool early = tag.at < kPrescanLength;
        if (!early && !inHead)
            break;
        if (!tag.endTag && tag.name == "meta") {
            if (auto encoding = MetaCharset::declared(bytes, tag.attributesAt))
                return CharsetDeclaration{std::move(*encoding),
                                          early ? CharsetSource::Prescan : CharsetSource::HeadMeta};
        }
        inHead = inHead && keepsHead(tag);
    }
    return std::nullopt;
}

} // namespace quillora::charset
