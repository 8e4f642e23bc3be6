#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

// What the end-to-end tests of quillora-cli share: time bounds that grow under the sanitizers, and file helpers.
namespace quillora::cli::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kSlowdown = 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int kSlowdown = 8;
#else
inline constexpr int kSlowdown = 1;
#endif
#else
inline constexpr int kSlowdown = 1;
#endif

/// The user id of nobody, for the tests that run the program as an ordinary user.
inline constexpr int kNobody = 65534;

/// The bounds are hang guards, not speed goals: the quiet machine's bound times this, far above what a machine
/// loaded many times over its cores needs, far below what the faults they catch took (hours).
inline constexpr int kHangGuard = 10;

/// A bound for a run that takes well under `bound` seconds in an optimised build on a quiet machine.
inline std::chrono::milliseconds seconds(int bound) {
    return std::chrono::milliseconds(1000LL * bound * kSlowdown * kHangGuard);
}

inline std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace quillora::cli::test
