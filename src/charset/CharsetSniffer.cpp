#include "CharsetSniffer.h"

namespace quillora::charset {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Position of key (lower case) in text from start on, ignoring ASCII case; npos when absent.
std::size_t findNoCase(std::string_view text, std::string_view key, std::size_t start) {
    if (key.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = start; i + key.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < key.size() && lowerAscii(text[i + k]) == key[k])
            ++k;
        if (k == key.size())
            return i;
    }
    return std::string_view::npos;
}

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
    while ((pos = findNoCase(window, "<meta", pos)) != std::string_view::npos) {
        std::size_t end = window.find('>', pos);
        if (end == std::string_view::npos)
            end = window.size();
        for (std::size_t at = findNoCase(window.substr(0, end), "charset", pos); at != std::string_view::npos;
             at = findNoCase(window.substr(0, end), "charset", at + 1)) {
            const auto label = labelAfter(window, at, end);
            if (!label.empty())
                return label;
        }
        pos = end;
    }
    return {};
}

} // namespace quillora::charset
