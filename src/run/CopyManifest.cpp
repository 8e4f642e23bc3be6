#include "CopyManifest.h"

#include "disk/PageWriter.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace quillora::run {

namespace {

constexpr std::size_t kFields = 9;

void appendEscaped(std::string& out, std::string_view field) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    const auto special = [](char c) { return c == '%' || c == '\t' || c == '\n' || c == '\r'; };
    if (std::none_of(field.begin(), field.end(), special)) {
        out += field;
        return;
    }
    for (const char c : field) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            out += '%';
            out += kDigits[static_cast<unsigned char>(c) >> 4];
            out += kDigits[static_cast<unsigned char>(c) & 15];
        } else {
            out += c;
        }
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool unescape(std::string_view field, std::string& out) {
    if (field.find('%') == std::string_view::npos) {
        out.assign(field);
        return true;
    }
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size())
            return false;
        const int high = hexValue(field[i + 1]);
        const int low = hexValue(field[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

void appendHex(std::string& out, const CopyManifest::Digest& digest) {
    constexpr char kDigits[] = "0123456789abcdef";
    char hex[2 * std::tuple_size_v<CopyManifest::Digest>];
    for (std::size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    out.append(hex, sizeof hex);
}

/// The value of each lower-case hexadecimal digit, -1 for any other byte.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int c = '0'; c <= '9'; ++c)
        values[static_cast<std::size_t>(c)] = static_cast<signed char>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c)
        values[static_cast<std::size_t>(c)] = static_cast<signed char>(c - 'a' + 10);
    return values;
}();

int lowerHexValue(char c) {
    return kHexValues[static_cast<unsigned char>(c)];
}

bool digestOf(std::string_view field, CopyManifest::Digest& digest) {
    if (field.size() != digest.size() * 2)
        return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = lowerHexValue(field[2 * i]);
        const int low = lowerHexValue(field[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

bool number(std::string_view field, std::int64_t& out) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), out);
    return error == std::errc() && end == field.data() + field.size();
}

/// The fields of a line, into parts (reused from line to line).
void split(std::string_view line, char separator, std::vector<std::string_view>& parts) {
    parts.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        parts.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return;
        start = end + 1;
    }
}

bool kindOf(std::string_view field, CopyManifest::Kind& kind, bool& earlier) {
    if (field.size() != 1)
        return false;
    earlier = field[0] == 'w';
    switch (field[0]) {
    case 'P':
        kind = CopyManifest::Kind::Page;
        return true;
    case 'F':
        kind = CopyManifest::Kind::Frameset;
        return true;
    case 'C':
        kind = CopyManifest::Kind::Copy;
        return true;
    case 'W':
    case 'w':
        kind = CopyManifest::Kind::Pending;
        return true;
    default:
        return false;
    }
}

/// One entry's line, tab-separated; a pending entry whose earlier output was this tool's own is marked in lower case.
void appendLine(std::string& out, std::string_view output, const CopyManifest::Entry& entry) {
    using Kind = CopyManifest::Kind;
    out += entry.kind == Kind::Pending && entry.earlierOutput ? 'w' : static_cast<char>(entry.kind);
    out += '\t';
    appendEscaped(out, output);
    out += '\t';
    appendEscaped(out, entry.source);
    out += '\t';
    appendNumber(out, entry.sourceSize);
    out += '\t';
    appendNumber(out, entry.sourceModified);
    out += '\t';
    appendHex(out, entry.sourceDigest);
    out += '\t';
    appendHex(out, entry.rule);
    out += '\t';
    appendNumber(out, entry.outputSize);
    out += '\t';
    appendNumber(out, entry.outputModified);
    out += '\n';
}

} // namespace

std::string CopyManifest::text() const {
    EntryList entries;
    entries.reserve(m_entries.size());
    for (const auto& [output, entry] : m_entries)
        entries.emplace_back(&output, &entry);
    return text(salt, keyCheck, std::move(entries));
}

std::string CopyManifest::text(std::string_view salt, std::string_view keyCheck, EntryList entries) {
    std::string out(kHeader);
    out += '\n';
    if (!salt.empty()) {
        out += "salt\t";
        out += salt;
        out += "\tcheck\t";
        out += keyCheck;
        out += '\n';
    }
    // In the order of the outputs' names, so that the same copy gives the same file.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return *a.first < *b.first; });
    out.reserve(out.size() + entries.size() * 160);
    for (const auto& [output, entry] : entries)
        appendLine(out, *output, *entry);
    return out;
}

std::string CopyManifest::line(const std::string& output, const Entry& entry) {
    std::string out;
    appendLine(out, output, entry);
    return out;
}

bool CopyManifest::parse(std::string_view text) {
    m_entries.clear();
    salt.clear();
    keyCheck.clear();
    if (!text.starts_with(kHeader) || (text.size() > kHeader.size() && text[kHeader.size()] != '\n'))
        return false;
    std::vector<std::string_view> fields;
    m_entries.reserve(text.size() / 128); // a line is about that long
    std::size_t next = kHeader.size() + 1;
    while (next < text.size()) {
        const std::size_t end = text.find('\n', next);
        if (end == std::string_view::npos)
            break; // cut short
        const std::string_view line = text.substr(next, end - next);
        next = end + 1;
        if (line.empty())
            continue;
        split(line, '\t', fields);
        if (fields.size() == 4 && fields[0] == "salt" && fields[2] == "check") {
            salt = fields[1];
            keyCheck = fields[3];
            continue;
        }
        Entry entry;
        std::string output;
        if (fields.size() != kFields || !kindOf(fields[0], entry.kind, entry.earlierOutput) ||
            !unescape(fields[1], output) || !unescape(fields[2], entry.source) ||
            !number(fields[3], entry.sourceSize) || !number(fields[4], entry.sourceModified) ||
            !digestOf(fields[5], entry.sourceDigest) || !digestOf(fields[6], entry.rule) ||
            !number(fields[7], entry.outputSize) || !number(fields[8], entry.outputModified))
            return false;
        m_entries.insert_or_assign(std::move(output), std::move(entry));
    }
    return true;
}

std::error_code CopyManifest::read(disk::FileSystem& fileSystem, const std::string& path) {
    m_entries.clear();
    std::string bytes;
    const auto error = fileSystem.readFile(path, bytes);
    if (error == std::errc::no_such_file_or_directory)
        return {};
    if (error)
        return error;
    return parse(bytes) ? std::error_code() : std::make_error_code(std::errc::illegal_byte_sequence);
}

std::error_code CopyManifest::write(disk::FileSystem& fileSystem, const std::string& path) const {
    disk::FileIdentity written;
    return disk::PageWriter(fileSystem).write(path, text(), written);
}

} // namespace quillora::run
