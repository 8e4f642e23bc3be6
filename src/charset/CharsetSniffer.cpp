#include "CharsetSniffer.h"

#include "engine/TextSearch.h"

namespace quillora::charset {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLabelCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == ':';
}

/// The label after "charset" at position at, within a tag ending before end; empty when no "=" follows.
std::string_view labelAfter(std::string_view text, std::size_t at, std::size_t end) {
    std::size_t p = at + std::string_view("charset").size();
    while (p < end && isBlank(text[p]))
        ++p;
    if (p >= end || text[p] != '=')
        return {};
    ++p;
    while (p < end && isBlank(text[p]))
        ++p;
    if (p < end && (text[p] == '"' || text[p] == '\''))
        ++p;
    const std::size_t first = p;
    while (p < end && isLabelCharacter(text[p]))
        ++p;
    return text.substr(first, p - first);
}

} // namespace

std::string_view CharsetSniffer::declaredLabel(std::string_view bytes) {
    const std::string_view window = bytes.substr(0, kPrescanLength);
    std::size_t pos = 0;
    while ((pos = engine::findIgnoreCase(window, "<meta", pos)) != std::string_view::npos) {
        std::size_t end = window.find('>', pos);
        if (end == std::string_view::npos)
            end = window.size();
        for (std::size_t at = engine::findIgnoreCase(window.substr(0, end), "charset", pos);
             at != std::string_view::npos; at = engine::findIgnoreCase(window.substr(0, end), "charset", at + 1)) {
            const auto label = labelAfter(window, at, end);
            if (!label.empty())
                return label;
        }
        pos = end;
    }
    return {};
}

} // namespace quillora::charset
