#pragma once

#include <cstddef>
#include <string>

namespace quillora::engine {

/// Reserves room for n units. A large page's text and its protected form run to hundreds of megabytes;
/// backing them with large memory pages spares the kernel a fault for every 4 KB written.
void reserveText(std::u16string& text, std::size_t n);
void reserveText(std::string& text, std::size_t n);

} // namespace quillora::engine
