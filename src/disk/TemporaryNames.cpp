#include "TemporaryNames.h"

#include <algorithm>

namespace quillora::disk {

namespace {

constexpr std::size_t kMaxHintLength = 200; // leaves room for the decoration below the longest name there is
constexpr std::string_view kMark = ".~";
constexpr std::size_t kCodeLength = 8;
constexpr std::size_t kDecoration = kMark.size() + 2 * kCodeLength + 1;
constexpr std::string_view kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";

// A fixed mix (FNV-1a over the hint, the file's number folded in, a 64-bit finaliser), the same in every build and
// every process, so that one run proves what another left.
std::string codeOf(std::string_view hint, std::uint64_t inode) {
    std::uint64_t h = 14695981039346656037u;
    for (const char c : hint) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211u;
    }
    h ^= inode * 0x9E3779B97F4A7C15u;
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBu;
    h ^= h >> 31;
    std::string code(kCodeLength, '0');
    for (auto& c : code) {
        c = kDigits[h % kDigits.size()];
        h /= kDigits.size();
    }
    return code;
}

bool isCode(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return kDigits.find(c) != std::string_view::npos; });
}

} // namespace

std::string TemporaryName(std::string_view hint, std::uint64_t inode, std::uint64_t partnerInode) {
    hint = hint.substr(0, kMaxHintLength);
    std::string name = ".";
    name.append(hint);
    name.append(kMark);
    name.append(codeOf(hint, inode));
    name.append(codeOf(hint, partnerInode));
    name.push_back('~');
    return name;
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() < 1 + kDecoration || name.front() != '.' || name.back() != '~')
        return false;
    const std::string_view tail = name.substr(name.size() - kDecoration);
    return tail.starts_with(kMark) && isCode(tail.substr(kMark.size(), 2 * kCodeLength));
}

bool IsTemporaryNameOf(std::string_view name, std::uint64_t inode) {
    if (!IsTemporaryName(name))
        return false;
    const std::string_view hint = name.substr(1, name.size() - 1 - kDecoration);
    const std::string_view codes = name.substr(name.size() - 1 - 2 * kCodeLength, 2 * kCodeLength);
    const std::string code = codeOf(hint, inode);
    return codes.substr(0, kCodeLength) == code || codes.substr(kCodeLength) == code;
}

} // namespace quillora::disk
