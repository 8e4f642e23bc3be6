#pragma once

#include <array>
#include <optional>

namespace quillora::charset {

/// Windows-1252 as browsers read it; the five bytes it leaves undefined map to the code units of the same value.
class Windows1252 {
public:
    /// The code units of the bytes 0x80 to 0x9F; every other byte maps to the code unit of its value.
    static constexpr std::array<char16_t, 32> kHighControls = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };

    static constexpr std::array<char16_t, 256> kTable = [] {
        std::array<char16_t, 256> table{};
        for (unsigned i = 0; i < 256; ++i)
            table[i] = static_cast<char16_t>(i);
        for (unsigned i = 0; i < kHighControls.size(); ++i)
            table[0x80 + i] = kHighControls[i];
        return table;
    }();

    static char16_t decode(unsigned char byte) { return kTable[byte]; }
    /// The byte of a code unit, or nothing when the set cannot hold it.
    static std::optional<unsigned char> encode(char16_t unit);
};

} // namespace quillora::charset
