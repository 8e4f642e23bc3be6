#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillora::fuzz {

/// Reads a fuzzer's bytes as option bytes and texts. Texts are one code unit per byte (so markup keys stay
/// dense), and the byte 0xFF followed by two bytes (little-endian) gives any other code unit, surrogates included.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    /// The next byte, 0 once the input is used up.
    std::uint8_t takeByte();
    /// The text of the next `bytes` bytes (fewer when the input ends first).
    std::u16string takeText(std::size_t bytes);
    /// The text of everything left.
    std::u16string takeRest() { return takeText(m_size - m_pos); }
    std::size_t remaining() const { return m_size - m_pos; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace quillora::fuzz
