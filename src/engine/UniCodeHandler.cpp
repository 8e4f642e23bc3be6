#include "UniCodeHandler.h"

namespace quillora::engine {

std::vector<std::uint8_t> CodeToUtf8Bytes(std::uint16_t code) {
    if (code < 128) {
        return {static_cast<std::uint8_t>(code)};
    }
    if (code < 2048) {
        return {static_cast<std::uint8_t>(192 + code / 64), static_cast<std::uint8_t>(128 + code % 64)};
    }
    return {static_cast<std::uint8_t>(224 + code / 4096), static_cast<std::uint8_t>(128 + (code / 64) % 64),
            static_cast<std::uint8_t>(128 + code % 64)};
}

std::vector<std::uint8_t> StringToUtf8Bytes(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 3);
    for (const char16_t c : text) {
        const auto one = CodeToUtf8Bytes(c);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

std::uint16_t Utf8BytesToCode(std::span<const std::uint8_t> bytes) {
    switch (bytes.size()) {
    case 1:
        return bytes[0];
    case 2:
        return static_cast<std::uint16_t>((bytes[0] & 31) * 64 + (bytes[1] & 63));
    case 3:
        return static_cast<std::uint16_t>((bytes[0] & 15) * 4096 + (bytes[1] & 63) * 64 + (bytes[2] & 63));
    default:
        return 0;
    }
}

std::u16string GetCharCode(char16_t c) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    unsigned code = Utf8BytesToCode(CodeToUtf8Bytes(c));
    std::u16string digits;
    do {
        digits.insert(digits.begin(), kDigits[code % 16]);
        code /= 16;
    } while (code != 0);
    return digits;
}

} // namespace quillora::engine
