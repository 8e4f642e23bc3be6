#pragma once

#include <string>

namespace quillora::charset {

/// The character set a page is stored in, as read, and to be written back the same way.
struct PageEncoding {
    enum class Kind { Windows1252, Utf8, Utf16LE, Utf16BE, Icu };

    Kind kind = Kind::Windows1252;
    std::string icuName;        // the converter, for Kind::Icu
    bool byteOrderMark = false; // the page began with one and gets it back

    /// UTF-16 in either byte order: two bytes a code unit, and no ASCII character is its one byte.
    bool isUtf16() const { return kind == Kind::Utf16LE || kind == Kind::Utf16BE; }

    bool operator==(const PageEncoding&) const = default;
};

} // namespace quillora::charset
