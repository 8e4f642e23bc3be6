#pragma once

#include <string_view>

namespace quillora::run {

/// False for the characters kept out of the texts that go into generated scripts: ', " and \.
bool IsScriptSafeCharacter(char16_t c);
/// True when every character of a text may go into a generated script string.
bool IsScriptSafeText(std::u16string_view text);
/// True when a notice cannot end the comment it is put in ("-->" and "--!>" would end it early).
bool IsNoticeSafeText(std::u16string_view text);

} // namespace quillora::run
