#include "MetaCharset.h"

#include "EncodingLabels.h"
#include "TagReader.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quillora::charset {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::size_t skipBlanks(std::string_view text, std::size_t p) {
    while (p < text.size() && isBlank(text[p]))
        ++p;
    return p;
}

/// The attributes read so far, as the prescan keeps them: only the first of a name counts.
struct MetaAttributes {
    std::vector<std::string> seen;
    bool gotPragma = false;
    bool charsetSet = false; // set, possibly to a label no browser knows
    bool needPragma = false;
    std::optional<PageEncoding> charset;

    void take(const TagAttribute& attribute) {
        if (std::find(seen.begin(), seen.end(), attribute.name) != seen.end())
            return;
        seen.push_back(attribute.name);
        if (attribute.name == "http-equiv") {
            gotPragma = gotPragma || attribute.value == "content-type";
        } else if (attribute.name == "content" && !charsetSet) {
            const auto label = MetaCharset::labelInContent(attribute.value);
            if (auto encoding = label ? MetaCharset::encodingOf(*label) : std::nullopt) {
                charset = std::move(encoding);
                charsetSet = true;
                needPragma = true;
            }
        } else if (attribute.name == "charset") {
            charset = MetaCharset::encodingOf(attribute.value);
            charsetSet = true;
            needPragma = false;
        }
    }
};

} // namespace

std::optional<PageEncoding> MetaCharset::declared(std::string_view bytes, std::size_t attributesAt) {
    MetaAttributes meta;
    TagAttribute attribute;
    std::size_t position = attributesAt;
    while (TagReader::readAttribute(bytes, position, attribute))
        meta.take(attribute);
    if (position >= bytes.size() || !meta.charsetSet || (meta.needPragma && !meta.gotPragma))
        return std::nullopt; // a tag the bytes end inside declares nothing
    return meta.charset;
}

std::optional<std::string_view> MetaCharset::labelInContent(std::string_view content) {
    for (std::size_t at = content.find("charset"); at != std::string_view::npos; at = content.find("charset", at + 1)) {
        std::size_t p = skipBlanks(content, at + 7);
        if (p >= content.size() || content[p] != '=')
            continue;
        p = skipBlanks(content, p + 1);
        if (p >= content.size())
            return std::nullopt;
        if (content[p] == '"' || content[p] == '\'') {
            const std::size_t close = content.find(content[p], p + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            return content.substr(p + 1, close - p - 1);
        }
        std::size_t end = p;
        while (end < content.size() && !isBlank(content[end]) && content[end] != ';')
            ++end;
        return content.substr(p, end - p);
    }
    return std::nullopt;
}

std::optional<PageEncoding> MetaCharset::encodingOf(std::string_view label) {
    std::size_t first = 0;
    std::size_t last = label.size();
    while (first < last && isBlank(label[first]))
        ++first;
    while (last > first && isBlank(label[last - 1]))
        --last;
    return encodingForLabel(label.substr(first, last - first));
}

} // namespace quillora::charset
