#include "CopyManifest.h"

#include "disk/PageWriter.h"

#include <charconv>
#include <vector>

namespace quillora::run {

namespace {

constexpr std::size_t kFields = 9;

void appendEscaped(std::string& out, std::string_view field) {
    constexpr char kDigits[] = "0123456789ABCDEF";
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

bool number(std::string_view field, std::int64_t& out) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), out);
    return error == std::errc() && end == field.data() + field.size();
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        parts.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
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

} // namespace

std::string CopyManifest::text() const {
    std::string out(kHeader);
    out += '\n';
    if (!salt.empty())
        out += "salt\t" + salt + "\tcheck\t" + keyCheck + '\n';
    for (const auto& [output, entry] : m_entries) {
        // A pending entry whose earlier output was this tool's own is marked in lower case.
        out += entry.kind == Kind::Pending && entry.earlierOutput ? 'w' : static_cast<char>(entry.kind);
        out += '\t';
        appendEscaped(out, output);
        out += '\t';
        appendEscaped(out, entry.source);
        out += '\t' + std::to_string(entry.sourceSize) + '\t' + std::to_string(entry.sourceModified) + '\t';
        out += entry.sourceDigest + '\t' + entry.rule + '\t';
        out += std::to_string(entry.outputSize) + '\t' + std::to_string(entry.outputModified) + '\n';
    }
    return out;
}

bool CopyManifest::parse(std::string_view text) {
    m_entries.clear();
    salt.clear();
    keyCheck.clear();
    const auto lines = split(text, '\n');
    if (lines.empty() || lines.front() != kHeader)
        return false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        const auto fields = split(lines[i], '\t');
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
            !number(fields[7], entry.outputSize) || !number(fields[8], entry.outputModified))
            return false;
        entry.sourceDigest = fields[5];
        entry.rule = fields[6];
        m_entries[output] = std::move(entry);
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
