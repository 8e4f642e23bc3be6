#include "LargeBuffer.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace quillora::engine {

namespace {

void adviseLargePages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#ifdef __linux__
    constexpr std::size_t kHugePage = std::size_t{2} * 1024 * 1024;
    if (bytes < 4 * kHugePage) {
        return;
    }
    // Only whole large pages inside the buffer can be advised; failure just leaves the small pages.
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first) {
        madvise(const_cast<char*>(static_cast<const char*>(data)) + (first - begin), last - first, MADV_HUGEPAGE);
    }
#endif
}

} // namespace

void reserveText(std::u16string& text, std::size_t n) {
    text.reserve(n);
    adviseLargePages(text.data(), text.capacity() * sizeof(char16_t));
}

void reserveText(std::string& text, std::size_t n) {
    text.reserve(n);
    adviseLargePages(text.data(), text.capacity());
}

} // namespace quillora::engine
