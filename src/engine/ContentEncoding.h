#pragma once

#include "PageCharset.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::engine {

/// The bootstrap script that defines the writer qv_d00; placed in the head of every protected page.
std::u16string_view Bootstrap();
/// The bootstrap of a page under a strict policy: the same writer, defined without eval.
std::u16string_view StrictBootstrap();

/// The writer call of a text: a script element that writes the percent-escaped text into the document.
std::u16string EncodeToWriterCall(std::u16string_view text);
/// Appends the writer call of a text to out.
void AppendWriterCall(std::u16string& out, std::u16string_view text);

/// The script-aware encoding: writer calls, with external script elements kept in place unchanged.
std::u16string EncodeWithScripts(std::u16string_view text);
/// Appends the script-aware encoding of a text to out.
void AppendEncodedWithScripts(std::u16string& out, std::u16string_view text);

/// Output ranges [begin, end) of external script elements kept as they stand.
using KeptElements = std::vector<std::pair<std::size_t, std::size_t>>;

/// The same for a page held in the units of its set; the ranges of the external script elements kept go to
/// kept when it is given.
template <typename Unit>
void AppendWriterCall(std::basic_string<Unit>& out, std::basic_string_view<Unit> text,
                      const PageCharset<Unit>& charset);
template <typename Unit>
void AppendEncodedWithScripts(std::basic_string<Unit>& out, std::basic_string_view<Unit> text,
                              const PageCharset<Unit>& charset, KeptElements* kept = nullptr);

/// The number of characters the escapes of a text take (3 per code unit below 256, 6 for the others).
std::size_t EscapedLength(std::u16string_view text);

} // namespace quillora::engine
