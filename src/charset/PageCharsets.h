#pragma once

#include "PageEncoder.h"
#include "PageEncoding.h"
#include "engine/PageCharset.h"

#include <memory>
#include <string>
#include <string_view>

struct UConverter;

namespace quillora::charset {

/// True when the page's markup can be read in its bytes: the set writes every ASCII character as its one byte
/// and never uses a byte below 0x80 inside another character (UTF-8, Windows-1252, the single-byte sets and
/// EUC-JP). Not so for UTF-16, nor for the sets whose second bytes or shift sequences fall into ASCII.
bool readsMarkupInBytes(const PageEncoding& encoding);

/// A page held as its bytes in such a set: spans become the escapes of the code units they stand for.
std::unique_ptr<engine::PageCharset<char>> byteCharsetFor(const PageEncoding& encoding);

/// A page held as code units, written back in its set: the bytes of a text are those the set gives it.
class DecodedCharset : public engine::UnitText {
public:
    explicit DecodedCharset(const PageEncoding& encoding) : m_encoding(encoding) {}
    std::size_t writtenBytes(std::u16string_view text) const override;

private:
    PageEncoding m_encoding;
    mutable PageEncoder m_encoder;
};

/// A text in the bytes of a set (a character it cannot hold as "&#N;"); empty when the set cannot be written.
std::string encodeText(PageEncoder& encoder, const PageEncoding& encoding, std::u16string_view text);

} // namespace quillora::charset
