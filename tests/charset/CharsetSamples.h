#pragma once

#include <string>
#include <string_view>

// Texts in the languages whose pages browsers guess the set of, and pages holding them in a given set.
namespace quillora::charset::test {

extern const std::u16string_view kRussian;
extern const std::u16string_view kUkrainian;
extern const std::u16string_view kPolish;
extern const std::u16string_view kCzech;
extern const std::u16string_view kJapanese;
extern const std::u16string_view kKorean;
extern const std::u16string_view kChinese;
extern const std::u16string_view kGreek;
extern const std::u16string_view kHebrew;
extern const std::u16string_view kTurkish;
extern const std::u16string_view kGerman;
extern const std::u16string_view kIcelandic;
extern const std::u16string_view kEnglish;

/// The text in the set a label names (every character of it must be in the set).
std::string encodeIn(std::u16string_view text, std::string_view label);

/// A page with the text for title and paragraph, in the set a label names, declaring no set.
std::string undeclaredPage(std::u16string_view text, std::string_view label);

} // namespace quillora::charset::test
