#pragma once

#include <cstddef>
#include <string_view>

// Plain searches over page text: UTF-16 code units, or the page's own bytes in a set that writes every ASCII
// character as its one byte. Keys are given in lower case (ASCII keys serve both kinds of text); letters in the
// text match either case.
namespace quillora::engine {

inline constexpr std::size_t kNotFound = std::u16string_view::npos;

/// ASCII lower case of one code unit or byte; every other stays as it is.
constexpr char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}
constexpr char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

/// The first position at or after from where c stands; kNotFound when there is none.
std::size_t findChar(std::u16string_view text, char16_t c, std::size_t from);
std::size_t findChar(std::string_view text, char c, std::size_t from);

/// The number of code units from 256 upwards (those escaped in six characters instead of three).
std::size_t countAbove255(std::u16string_view text);

/// The first position at or after from where a or b stands; kNotFound when there is none.
std::size_t findEither(std::u16string_view text, char16_t a, char16_t b, std::size_t from);
std::size_t findEither(std::string_view text, char a, char b, std::size_t from);

/// The first position at or after from where key matches, ignoring ASCII case.
std::size_t findIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t from);
std::size_t findIgnoreCase(std::u16string_view text, std::string_view key, std::size_t from);
std::size_t findIgnoreCase(std::string_view text, std::string_view key, std::size_t from);

/// The last position not below floor where key matches and that begins before `before`, ignoring ASCII case.
std::size_t rfindIgnoreCase(std::u16string_view text, std::u16string_view key, std::size_t before,
                            std::size_t floor = 0);
std::size_t rfindIgnoreCase(std::u16string_view text, std::string_view key, std::size_t before, std::size_t floor = 0);
std::size_t rfindIgnoreCase(std::string_view text, std::string_view key, std::size_t before, std::size_t floor = 0);

/// True when key matches at pos, ignoring ASCII case.
bool matchesAt(std::u16string_view text, std::u16string_view key, std::size_t pos);
bool matchesAt(std::u16string_view text, std::string_view key, std::size_t pos);
bool matchesAt(std::string_view text, std::string_view key, std::size_t pos);

/// True for the characters that end a tag name: ">", "/", blank, tab, carriage return, line feed, form feed.
template <typename Unit> constexpr bool endsTagName(Unit c) {
    return c == Unit('>') || c == Unit('/') || c == Unit(' ') || c == Unit('\t') || c == Unit('\r') ||
           c == Unit('\n') || c == Unit('\f');
}

} // namespace quillora::engine
