#pragma once

#include "engine/HeaderPlacement.h"

#include <cstddef>
#include <string_view>

namespace quillora::charset {

/// The second step of reading a page as a browser does, after the byte-order mark: the declaration.
class CharsetSniffer {
public:
    /// How far into the page a declaration is looked for.
    static constexpr std::size_t kPrescanLength = engine::kPrescanBytes;

    /// The label of the first "charset" declared inside a "<meta" tag in the first 1024 bytes; empty if none.
    static std::string_view declaredLabel(std::string_view bytes);
};

} // namespace quillora::charset
