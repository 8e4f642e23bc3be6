#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillora::engine {

/// The scripts a browser meets in a page: in its own markup and in the markup its writer calls write.
struct PageScripts {
    // The text of each inline script element as the browser hashes it: line breaks read as line feeds.
    std::vector<std::u16string> inlineTexts;
    // The src value of each external script element, as written.
    std::vector<std::u16string> sources;
};

/// Reads the script elements of a page, and of what its writer calls write (decoded as the browser decodes them).
PageScripts ReadPageScripts(std::u16string_view page);

/// What the writer calls of a script text write, one after the other; empty when it holds none.
std::u16string WrittenMarkup(std::u16string_view script);

/// The text with every carriage return (alone or before a line feed) read as one line feed, as the HTML parser
/// reads it.
std::u16string NormalizeLineBreaks(std::u16string_view text);

} // namespace quillora::engine
