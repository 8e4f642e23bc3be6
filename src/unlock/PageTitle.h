#pragma once

#include "charset/PageEncoding.h"

#include <string>
#include <string_view>

namespace quillora::unlock {

/// The content of a page's first title element as written, character references as they stand (the unlock
/// page's title element reads them the same way); empty when there is none.
std::u16string pageTitle(std::u16string_view text);
/// The same from the page's bytes in the set they were read in; only the title's own bytes are decoded.
std::u16string pageTitle(std::string_view bytes, const charset::PageEncoding& encoding);

} // namespace quillora::unlock
