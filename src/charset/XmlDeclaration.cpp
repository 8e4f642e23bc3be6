#include "XmlDeclaration.h"

#include "EncodingLabels.h"

#include <algorithm>

namespace quillora::charset {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool isSpaceOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::size_t skipSpacesAndControls(std::string_view bytes, std::size_t p) {
    while (p < bytes.size() && isSpaceOrControl(bytes[p]))
        ++p;
    return p;
}

/// Where "encoding" stands in the declaration (ASCII case ignored), or kNone.
std::size_t findEncodingKey(std::string_view declaration) {
    constexpr std::string_view kKey = "encoding";
    const auto found = std::search(declaration.begin(), declaration.end(), kKey.begin(), kKey.end(),
                                   [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
    return found == declaration.end() ? kNone : static_cast<std::size_t>(found - declaration.begin());
}

} // namespace

std::optional<PageEncoding> XmlDeclaration::encoding(std::string_view bytes) {
    if (!bytes.starts_with("<?xml"))
        return std::nullopt;
    const std::size_t end = bytes.find('>');
    if (end == kNone)
        return std::nullopt;
    const std::size_t key = findEncodingKey(bytes.substr(0, end));
    if (key == kNone)
        return std::nullopt;
    std::size_t p = skipSpacesAndControls(bytes, key + 8);
    if (p >= bytes.size() || bytes[p] != '=')
        return std::nullopt;
    p = skipSpacesAndControls(bytes, p + 1);
    if (p >= bytes.size() || (bytes[p] != '"' && bytes[p] != '\''))
        return std::nullopt;
    const std::size_t close = bytes.find(bytes[p], p + 1);
    if (close == kNone)
        return std::nullopt;
    const std::string_view label = bytes.substr(p + 1, close - p - 1);
    if (std::any_of(label.begin(), label.end(), isSpaceOrControl))
        return std::nullopt;
    return encodingForLabel(label);
}

std::optional<PageEncoding> XmlDeclaration::utf16(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (bytes.starts_with("<\0?\0x\0"sv))
        return PageEncoding{PageEncoding::Kind::Utf16LE, {}, false};
    if (bytes.starts_with("\0<\0?\0x"sv))
        return PageEncoding{PageEncoding::Kind::Utf16BE, {}, false};
    return std::nullopt;
}

} // namespace quillora::charset
