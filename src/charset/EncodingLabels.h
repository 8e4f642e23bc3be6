#pragma once

#include "PageEncoding.h"

#include <optional>
#include <string_view>

namespace quillora::charset {

/// What a character-set label declared in a page means to a browser (the labels of the web's encoding
/// standard, compared without regard to ASCII case). Nothing for an unknown label, for the labels that
/// browsers refuse to decode, and for sets no converter here can handle.
std::optional<PageEncoding> encodingForLabel(std::string_view label);

/// The web's own name of the set a page is in, as a browser's TextDecoder takes it ("windows-1252" for a set
/// this table does not know).
std::string_view labelForEncoding(const PageEncoding& encoding);

} // namespace quillora::charset
