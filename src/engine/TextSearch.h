#pragma once

#include <cstddef>
#include <string_view>

// Plain searches over page text. Keys are ASCII and given in lower case; letters in the text match either case.
namespace quillora::engine {

inline constexpr std::size_t kNotFound = std::u16string_view::npos;

/// ASCII lower case of one code unit; every other unit stays as it is.
constexpr char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

/// The first position at or after from where c stands; kNotFound when there is none.
std::size_t findChar(std::u16string_view text, char16_t c, std::size_t from);

/// The number of code units from 256 upwards (those escaped in six characters instead of three).
std::size_t countAbove255(std::u16string_view text);

/// The first position at or after from where a or b stands; kNotFound when there is none.
std::size_t findEither(std::u16string_view text, char16_t a, char16_t b, std::size_t from);

/// The first position at or after from where key matches, ignoring ASCII case.
std::size_t findIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t from);

/// The last position not below floor where key matches and that begins before `before`, ignoring ASCII case.
std::size_t rfindIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t before,
                            std::size_t floor = 0);

/// True when key matches at pos, ignoring ASCII case.
bool matchesAt(std::u16string_view text, std::u16string_view key, std::size_t pos);

/// True for the characters that end a tag name: ">", "/", blank, tab, carriage return, line feed, form feed.
constexpr bool endsTagName(char16_t c) {
    return c == u'>' || c == u'/' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

} // namespace quillora::engine
