#pragma once

#include <string>
#include <string_view>

namespace quillora::charset {

/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
/// UTF-8 to UTF-16 as a browser reads it (PageDecoder::decodeUtf8AsBrowsers).
std::u16string fromUtf8(std::string_view text);

} // namespace quillora::charset
