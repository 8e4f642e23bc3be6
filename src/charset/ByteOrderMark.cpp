#include "ByteOrderMark.h"

#include <algorithm>
#include <utility>

namespace quillora::charset {

namespace {

using Kind = PageEncoding::Kind;

// UTF-8's mark is looked for first: none of the others begins like it.
constexpr std::pair<Kind, std::string_view> kMarks[] = {
    {Kind::Utf8, "\xEF\xBB\xBF"},
    {Kind::Utf16LE, "\xFF\xFE"},
    {Kind::Utf16BE, "\xFE\xFF"},
};

} // namespace

std::optional<PageEncoding> ByteOrderMark::find(std::string_view bytes) {
    for (const auto& [kind, mark] : kMarks) {
        if (bytes.starts_with(mark))
            return PageEncoding{kind, {}, true};
    }
    return std::nullopt;
}

std::string_view ByteOrderMark::ofKind(PageEncoding::Kind kind) {
    for (const auto& [markKind, mark] : kMarks) {
        if (markKind == kind)
            return mark;
    }
    return {};
}

std::string_view ByteOrderMark::of(const PageEncoding& encoding) {
    return encoding.byteOrderMark ? ofKind(encoding.kind) : std::string_view();
}

std::string_view ByteOrderMark::skip(std::string_view bytes, const PageEncoding& encoding) {
    return bytes.substr(std::min(of(encoding).size(), bytes.size()));
}

} // namespace quillora::charset
