#include "TextRules.h"

#include <algorithm>

namespace quillora::run {

bool IsScriptSafeCharacter(char16_t c) {
    return c != u'\'' && c != u'"' && c != u'\\';
}

bool IsScriptSafeText(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), IsScriptSafeCharacter);
}

bool IsNoticeSafeText(std::u16string_view text) {
    return text.find(u"-->") == std::u16string_view::npos && text.find(u"--!>") == std::u16string_view::npos;
}

} // namespace quillora::run
