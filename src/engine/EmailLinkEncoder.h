#pragma once

#include "PageBuilder.h"

#include <string_view>

namespace quillora::engine {

/// Replaces every link that leads to an e-mail address by its encoding and appends the result to out. The link
/// taken for a "mailto:" is the nearest "<a " before it, even one closed before it, so one "mailto:" outside a
/// link can reach back over several links.
template <typename Unit> void EncodeEmailLinks(std::basic_string_view<Unit> text, BasicPageBuilder<Unit>& out);

} // namespace quillora::engine
