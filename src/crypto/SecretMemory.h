#pragma once

#include <cstddef>
#include <string>

namespace quillora::crypto {

/// Overwrites every byte a string's buffer holds (its whole capacity, where earlier contents may linger), then
/// empties it: a password must not stay in memory once the key is derived.
void wipe(std::string& secret);
void wipe(std::u16string& secret);
/// Overwrites size bytes at bytes (a buffer that held a secret on its way).
void wipe(char* bytes, std::size_t size);

/// Keeps the process from leaving a core dump (and from being read by a debugger of the same user) from here
/// on: its memory holds a key. True when both took effect.
bool disableCoreDumps();

} // namespace quillora::crypto
