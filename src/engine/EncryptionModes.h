#pragma once

#include "Doctype.h"
#include "PageBuilder.h"
#include "ProtectionOptions.h"

#include <cstddef>
#include <string_view>

namespace quillora::engine {

/// The end of the tag found by a key at pos, or kNotFound.
template <typename Unit> std::size_t tagEndAt(std::basic_string_view<Unit> text, std::size_t pos);

/// Builds the page with the part the encryption mode names hidden behind writer calls.
template <typename Unit>
void applyEncryptionMode(std::basic_string_view<Unit> text, EncryptionMode mode, BasicPageBuilder<Unit>& out);

/// True when a link that the mode hides stands in markup set apart from the page (a template's contents, an SVG
/// or MathML drawing), where a writer call would not work: such links are left as they are.
template <typename Unit> bool linksLeftAsTheyAre(std::basic_string_view<Unit> text, EncryptionMode mode);

} // namespace quillora::engine
