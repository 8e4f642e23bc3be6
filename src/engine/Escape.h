#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The escape of code units as the writer calls carry them: "%XY" below 256, "%uWXYZ" from 256 up, digits in
// upper case. Written as UTF-16 code units for a page held as text, or as bytes for a page held as its bytes.
namespace quillora::engine {

/// Appends the escapes of units to out.
void appendEscapes(std::u16string& out, std::u16string_view units);

/// Writes escapes into a byte buffer through a small block, appended to the output when full (a string cannot
/// grow without filling the new room, and copying a block that is still in the cache costs less than that).
class ByteEscapeWriter {
public:
    explicit ByteEscapeWriter(std::string& out) : m_out(out) {}
    ~ByteEscapeWriter() { flush(); }
    ByteEscapeWriter(const ByteEscapeWriter&) = delete;
    ByteEscapeWriter& operator=(const ByteEscapeWriter&) = delete;

    /// The escapes of code units.
    void units(std::u16string_view units);
    void unit(char16_t unit);
    /// The escapes of bytes that stand for the code units of the same value (ASCII in any set here, and
    /// Latin-1 where the set agrees with it).
    void latin1(std::string_view bytes);
    /// Appends what the block holds.
    void flush();

private:
    static constexpr std::size_t kBlock = std::size_t{12} * 1024;

    std::string& m_out;
    std::size_t m_used = 0;
    char m_block[kBlock + 64];
};

} // namespace quillora::engine
