#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The character-code routines the escape is defined by. The hot path in ContentEncoding uses a table
// instead: the round trip through UTF-8 below is the identity for every code unit.
namespace quillora::engine {

/// The uppercase hexadecimal digits of a code unit, without leading zeros ("0" to "FFFF").
std::u16string GetCharCode(char16_t c);
/// The UTF-8 bytes of every code unit of a text, one unit at a time (surrogates as three bytes each).
std::vector<std::uint8_t> StringToUtf8Bytes(std::u16string_view text);
/// The UTF-8 bytes of one 16-bit value: one, two or three bytes.
std::vector<std::uint8_t> CodeToUtf8Bytes(std::uint16_t code);
/// The 16-bit value of one, two or three UTF-8 bytes.
std::uint16_t Utf8BytesToCode(std::span<const std::uint8_t> bytes);

} // namespace quillora::engine
