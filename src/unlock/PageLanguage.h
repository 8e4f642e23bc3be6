#pragma once

#include "charset/PageEncoding.h"

#include <string>
#include <string_view>

namespace quillora::unlock {

/// The language and text direction a page's html start tag gives it, as the unlock page takes them over: ASCII, in
/// lower case, each empty when the page gives none (or none a browser would take: a language tag of anything but
/// letters, digits and hyphens, a direction other than ltr, rtl or auto).
struct PageLanguage {
    std::string lang;
    std::string dir;
    bool hasLang = false; // lang="" says "unknown", which differs from no lang at all

    /// The attributes as written in the unlock page's html start tag (each with its leading blank); empty for none.
    std::string attributes() const;
    /// The primary subtag ("de" of "de-ch"); empty without a language.
    std::string_view primary() const;
};

/// The language and direction of a page from its bytes in the set they were read in.
PageLanguage pageLanguage(std::string_view bytes, const charset::PageEncoding& encoding);

} // namespace quillora::unlock
