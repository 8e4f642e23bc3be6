#include "FuzzInput.h"

#include <algorithm>

namespace quillora::fuzz {

namespace {
constexpr std::uint8_t kWideUnit = 0xFF;
}

std::uint8_t FuzzInput::takeByte() {
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

std::u16string FuzzInput::takeText(std::size_t bytes) {
    const std::size_t end = m_pos + std::min(bytes, m_size - m_pos);
    std::u16string text;
    text.reserve(end - m_pos);
    while (m_pos < end) {
        const std::uint8_t b = m_data[m_pos++];
        if (b != kWideUnit || end - m_pos < 2) {
            text += static_cast<char16_t>(b);
            continue;
        }
        text += static_cast<char16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
    }
    return text;
}

} // namespace quillora::fuzz
