#pragma once

#include <string_view>

namespace quillora::unlock {

/// The script of the unlock page. It reads the page's data from the element "qv-data", asks for the password
/// (or takes the key this browser keeps for the run), derives the key, decrypts and decodes the page and
/// replaces the document with it. Its part between the comments "core{" and "}core" uses nothing but
/// WebCrypto, TextEncoder, TextDecoder and atob/btoa, so that the interoperability test runs it in Node.js.
std::string_view unlockScript();

} // namespace quillora::unlock
