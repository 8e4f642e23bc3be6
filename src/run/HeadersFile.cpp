#include "HeadersFile.h"

#include "disk/PageWriter.h"
#include "disk/Paths.h"

#include <algorithm>
#include <cctype>

namespace quillora::run {

namespace {

constexpr std::string_view kHeaderName = "Content-Security-Policy: ";

bool keptInAddress(unsigned char c) {
    return std::isalnum(c) != 0 ||
           std::string_view("-._~/!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
}

// The relative path as the path of an address: "/" first, "/" between folders, other bytes percent-escaped.
std::string addressOf(std::string_view relative) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string address = "/";
    for (const char c : relative) {
        const auto byte = static_cast<unsigned char>(c == disk::kPathSeparator ? '/' : c);
        if (keptInAddress(byte)) {
            address += static_cast<char>(byte);
        } else {
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 0xF];
        }
    }
    return address;
}

bool endsWithIgnoreCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// The blocks of a file of ours: each address line with the indented lines below it.
std::map<std::string, std::string> blocksOf(std::string_view text) {
    std::map<std::string, std::string> blocks;
    std::string* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line.front() == '#') {
            current = nullptr;
        } else if (line.front() == ' ' || line.front() == '\t') {
            if (current != nullptr)
                (*current).append(line).append("\n");
        } else {
            current = &blocks[std::string(line)];
            current->clear();
        }
    }
    return blocks;
}

// Reads the file at path into earlier when it is one of ours; true also when there is none (earlier empty).
bool readOurs(disk::FileSystem& fileSystem, const std::string& path, std::string& earlier) {
    earlier.clear();
    disk::FileStatus status;
    if (fileSystem.status(path, status))
        return true; // none yet
    if (fileSystem.readFile(path, earlier) || !HeadersFile::isOurs(earlier)) {
        earlier.clear();
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> HeadersFile::addressesOf(std::string_view relative) {
    std::vector<std::string> addresses{addressOf(relative)};
    const std::string& path = addresses.front();
    for (const std::string_view extension : {".html", ".htm"}) {
        if (!endsWithIgnoreCase(path, extension))
            continue;
        const std::string_view stem = std::string_view(path).substr(0, path.size() - extension.size());
        // Hosts serve "/a/index.html" at "/a/" and "/a/page.html" at "/a/page" too.
        if (endsWithIgnoreCase(stem, "/index"))
            addresses.emplace_back(stem.substr(0, stem.size() - 5));
        else
            addresses.emplace_back(stem);
        break;
    }
    return addresses;
}

void HeadersFile::add(const std::string& root, std::string_view relative, const std::string& policy) {
    auto& blocks = m_sites[root];
    for (const auto& address : addressesOf(relative))
        blocks[address] = policy;
}

bool HeadersFile::isOurs(std::string_view bytes) {
    return bytes.starts_with(kFirstLine);
}

std::string HeadersFile::text(std::string_view earlier, const std::map<std::string, std::string>& blocks) {
    std::map<std::string, std::string> all = blocksOf(earlier);
    for (const auto& [address, policy] : blocks)
        all[address] = "  " + std::string(kHeaderName) + policy + "\n";
    std::string text(kFirstLine);
    text += '\n';
    for (const auto& [address, lines] : all) {
        text += address;
        text += '\n';
        text += lines;
    }
    return text;
}

std::vector<HeadersFile::Outcome> HeadersFile::write(disk::FileSystem& fileSystem) const {
    std::vector<Outcome> outcomes;
    for (const auto& [root, blocks] : m_sites) {
        Outcome outcome;
        outcome.path = root + disk::kPathSeparator + std::string(kName);
        std::string earlier;
        if (!readOurs(fileSystem, outcome.path, earlier)) {
            // The site's own file is the user's: it is left as it is.
            outcome.besideOwn = true;
            outcome.path = root + disk::kPathSeparator + std::string(kBesideOwnName);
            if (!readOurs(fileSystem, outcome.path, earlier)) {
                outcome.error = std::make_error_code(std::errc::file_exists);
                outcomes.push_back(std::move(outcome));
                continue;
            }
        }
        disk::FileIdentity written;
        outcome.error = disk::PageWriter(fileSystem).write(outcome.path, text(earlier, blocks), written);
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

} // namespace quillora::run
