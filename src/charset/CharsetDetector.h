#pragma once

#include "PageEncoding.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillora::charset {

/// The guess a browser makes for a page that declares no set, made by ICU's detector: a page whose bytes beyond
/// ASCII are not UTF-8 is read in the set the detector finds most likely, under the names browsers give those
/// sets. Where Chromium and Firefox guess alike the detector mostly agrees (Windows-1251, ISO-8859-5, Shift_JIS,
/// EUC-JP, EUC-KR, GBK, Big5, Arabic, Hebrew read as Windows-1255, Turkish as Windows-1254, and a paragraph or
/// more of Central-European text in Windows-1250 or ISO-8859-2); it knows neither the Baltic sets, IBM866 nor
/// Thai. Where the two engines differ, KOI8 text is read as KOI8-U, as Firefox reads it (Chromium says KOI8-R,
/// whose letters KOI8-U all reads alike), and Greek as ISO-8859-7, as Chromium reads it (Firefox says
/// Windows-1253).
class CharsetDetector {
public:
    /// How many bytes, from a little before the first one beyond ASCII, the detector looks at: a few paragraphs
    /// tell it the language, and its time grows with every byte.
    static constexpr std::size_t kSampleLength = std::size_t{4} * 1024;
    /// How far before that first byte the sample starts.
    static constexpr std::size_t kLeadIn = 256;
    /// Fewer bytes beyond ASCII than this say too little: the page is left to Windows-1252.
    static constexpr std::size_t kLeastEvidence = 12;
    /// Another set is taken over Windows-1252 only with this much more confidence than the detector has in that:
    /// for the sets written in Latin letters its statistics are close, and a narrow lead is as often wrong as right.
    static constexpr int kLatinMargin = 8;

    /// The set guessed for the bytes; nothing when the guess is Windows-1252 (what a browser takes when it knows
    /// nothing), UTF-8 or UTF-16, when the bytes say too little, or when they are not valid in the set guessed.
    static std::optional<PageEncoding> guess(std::string_view bytes);
};

} // namespace quillora::charset
