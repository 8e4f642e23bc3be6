#pragma once

#include <string>
#include <string_view>

namespace quillora::unlock {

/// The script of the unlock page, joined at build time from the modules core.js, keys.js, frames.js and
/// unlock.js beside this file (without their comments and indentation). It reads the page's data from the element
/// "qv-data", asks for the password (or takes the key this browser keeps for the run), derives the key, decrypts
/// and decodes the page and replaces the document with it.
std::string_view unlockScript();

/// The name of the file that holds the script for the unlock pages of a site to share: named by its content, so that
/// a browser's cached copy of another version is never taken for it.
std::string sharedScriptName();
/// True for the name of such a file, of this version or another.
bool isSharedScriptName(std::string_view name);

} // namespace quillora::unlock
