#pragma once

#include "PageEncoding.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

struct UConverter;

namespace quillora::charset {

/// Turns page text back into the bytes of the set it was read in, a piece at a time, into one buffer kept
/// for the whole run. A character the set cannot hold is written as the character reference "&#N;".
class PageEncoder {
public:
    /// The most code units one call of encode takes.
    static constexpr std::size_t kPieceUnits = std::size_t{64} * 1024;

    PageEncoder();
    ~PageEncoder();
    PageEncoder(const PageEncoder&) = delete;
    PageEncoder& operator=(const PageEncoder&) = delete;

    /// Starts a page in the given set.
    std::error_code start(const PageEncoding& encoding);
    /// The byte-order mark to put before the first piece (empty when the page had none).
    std::string_view byteOrderMark() const;
    /// The bytes of the next piece (at most kPieceUnits code units); last ends the page. A surrogate pair
    /// split between two pieces is joined. The bytes stay valid until the next call.
    std::error_code encode(std::u16string_view piece, bool last, std::string_view& bytes);
    /// Starts a page in the set and appends the bytes of the whole text to out (the byte-order mark left to the
    /// caller), a piece at a time.
    std::error_code encodeWhole(const PageEncoding& encoding, std::u16string_view text, std::string& out);

private:
    char* encodeWindows1252(std::u16string_view piece, bool last, char* out);
    char* encodeUtf8(std::u16string_view piece, bool last, char* out);
    char* encodeUtf16(std::u16string_view piece, char* out) const;
    std::error_code encodeWithConverter(std::u16string_view piece, bool last, std::string_view& bytes);
    /// The code point a high surrogate left by the previous piece makes (i moves past a low surrogate that
    /// completes it), or 0 when none is left.
    char32_t takePending(std::u16string_view piece, std::size_t& i, bool last);
    /// The code point at piece[i], joining a pair (i moves to its second unit); U+FFFD for a lone surrogate;
    /// 0 when a high surrogate ends a piece that is not the last (it is kept for the next).
    char32_t codePointAt(std::u16string_view piece, std::size_t& i, bool last);
    void closeConverter();

    PageEncoding m_encoding;
    std::string m_buffer;
    UConverter* m_converter = nullptr;
    char16_t m_pendingHigh = 0;
};

} // namespace quillora::charset
