#pragma once

#include <string>
#include <string_view>

namespace quillora::unlock {

/// What an unlock page seals: the page the browser shows and the page as its author wrote it, so that decrypting
/// gives the original back byte for byte. The shown page is most often the original with a few insertions (the
/// behaviour scripts, a notice): then only those insertions are kept beside the original, else both pages whole.
/// The whole is deflated (zlib's format, which a browser's DecompressionStream("deflate") opens), so that an
/// encrypted page weighs less than its original.
class SealedContent {
public:
    /// The content of a page shown as shown and written as original, deflated.
    static std::string pack(std::string_view shown, std::string_view original);
    /// Reads packed content back; false for bytes that are not packed content (or are damaged).
    static bool unpack(std::string_view packed, std::string& shown, std::string& original);
};

} // namespace quillora::unlock
