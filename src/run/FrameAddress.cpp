#include "FrameAddress.h"

#include "FileHelpers.h"
#include "charset/TextConvert.h"
#include "disk/Paths.h"
#include "engine/TextSearch.h"

namespace quillora::run {

namespace {

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isAsciiDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string FrameAddress::cleaned(std::u16string_view address) {
    // As a browser reads an address: outer blanks and controls trimmed, tabs and line breaks inside removed,
    // backslashes taken as slashes.
    std::string text;
    for (const char c : charset::toUtf8(address)) {
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        text.push_back(c == '\\' ? '/' : c);
    }
    const auto isOuter = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && isOuter(text.back()))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && isOuter(text[first]))
        ++first;
    return text.substr(first);
}

bool FrameAddress::hasScheme(std::string_view address) {
    if (address.empty() || !isAsciiAlpha(address[0]))
        return false;
    for (std::size_t i = 1; i < address.size(); ++i) {
        const char c = address[i];
        if (c == ':')
            return true;
        if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

std::optional<std::string> FrameAddress::percentDecoded(std::string_view address) {
    std::string decoded;
    decoded.reserve(address.size());
    for (std::size_t i = 0; i < address.size(); ++i) {
        const int high = address[i] == '%' && i + 2 < address.size() ? hexValue(address[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(address[i + 2]) : -1;
        if (low < 0) {
            decoded.push_back(address[i]);
            continue;
        }
        const auto byte = static_cast<char>(high * 16 + low);
        if (byte == '\0')
            return std::nullopt; // no file name holds one
        decoded.push_back(byte);
        i += 2;
    }
    return decoded;
}

std::optional<std::string> FrameAddress::localPath(std::u16string_view address) {
    // An address that holds "http://" anywhere names a page on the web, however it begins.
    if (engine::findIgnoreCase(address, u"http://", 0) != engine::kNotFound)
        return std::nullopt;
    std::string text = cleaned(address);
    if (text.empty() || text[0] == '/' || hasScheme(text))
        return std::nullopt;
    text = text.substr(0, text.find_first_of("#?"));
    auto path = percentDecoded(text);
    if (!path || !IsPageFileName(*path))
        return std::nullopt;
    if constexpr (disk::kPathSeparator != '/') {
        for (char& c : *path) {
            if (c == '/')
                c = disk::kPathSeparator;
        }
    }
    return path;
}

} // namespace quillora::run
