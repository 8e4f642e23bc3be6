#pragma once

#include <string_view>

namespace quillora::unlock {

/// The script of the unlock page, joined at build time from the modules core.js, keys.js, frames.js and
/// unlock.js beside this file (without their comments and indentation). It reads the page's data from the element
/// "qv-data", asks for the password (or takes the key this browser keeps for the run), derives the key, decrypts
/// and decodes the page and replaces the document with it.
std::string_view unlockScript();

} // namespace quillora::unlock
