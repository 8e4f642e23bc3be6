#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora::engine {

/// What the page rules need to know of the character set a page is read and written in. The page is held as
/// Unit: UTF-16 code units (char16_t), or the page's own bytes (char) in a set that writes every ASCII character
/// as its one byte and never uses such a byte inside another character, so that a key found in the bytes is
/// really there. The protected page is built in the same units.
template <typename Unit> class PageCharset {
public:
    using Text = std::basic_string_view<Unit>;

    virtual ~PageCharset() = default;
    /// Appends to out the escapes of the code units that a span of the page stands for.
    virtual void appendEscapes(std::basic_string<Unit>& out, Text span) const = 0;
    /// The code units a span of the page stands for.
    virtual std::u16string units(Text span) const = 0;
    /// The number of bytes a text of the protected page takes in the written file.
    virtual std::size_t writtenBytes(Text text) const = 0;
};

/// A page held as code units, each counted as one byte of the written file.
class UnitText : public PageCharset<char16_t> {
public:
    void appendEscapes(std::u16string& out, std::u16string_view span) const override;
    std::u16string units(std::u16string_view span) const override { return std::u16string(span); }
    std::size_t writtenBytes(std::u16string_view text) const override { return text.size(); }

    static const UnitText& instance();
};

} // namespace quillora::engine
