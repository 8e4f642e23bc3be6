#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillora::fuzz {

/// The value of the single-quoted script string literal that starts right after `open` in text, as a script
/// engine reads it, and the position just after its closing quote. Nothing when the literal is not closed on its
/// line: a raw line break ends a script statement, so the typed text would break the generated script.
struct ScriptLiteral {
    std::u16string value;
    std::size_t end = 0;

    static std::optional<ScriptLiteral> read(std::u16string_view text, std::size_t open);
};

} // namespace quillora::fuzz
