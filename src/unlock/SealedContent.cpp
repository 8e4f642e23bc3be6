#include "SealedContent.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <isa-l/igzip_lib.h>
#include <memory>
#include <new>
#include <vector>
#include <zlib.h>

namespace quillora::unlock {

namespace {

// The first byte of the content says how the shown page is kept (the browser's script reads the same layout).
constexpr unsigned char kInsertions = 0; // n, n times (offset in the original, length), the inserted bytes, original
constexpr unsigned char kWhole = 1;      // the shown page's length, the shown page, original
// How much of the original must match again after an insertion before the insertion is taken as ended.
constexpr std::size_t kProbe = 32;
// igzip counts in 32 bits: content this large (no page comes near it) is deflated by zlib.
constexpr std::size_t kLargestIgzip = std::size_t{1} << 31;
// The largest room for deflating that a thread keeps between pages.
constexpr std::size_t kKeptBuffer = std::size_t{16} << 20;
// Packed content never opens to more than this: a damaged page must not exhaust the memory.
constexpr std::size_t kLargestContent = std::size_t{1} << 31;

struct Insertion {
    std::size_t at;     // in the original
    std::size_t from;   // in the shown page
    std::size_t length; // bytes of the shown page inserted at `at`
};

/// How many bytes a and b have in common from their starts: whole blocks compared by memcmp first, which is many
/// times faster than a byte at a time over the length of a page.
std::size_t commonLength(std::string_view a, std::string_view b) {
    constexpr std::size_t kBlock = 64;
    const std::size_t most = std::min(a.size(), b.size());
    std::size_t n = 0;
    while (n + kBlock <= most && std::memcmp(a.data() + n, b.data() + n, kBlock) == 0)
        n += kBlock;
    while (n < most && a[n] == b[n])
        ++n;
    return n;
}

/// The shown page as the original with bytes inserted, when it is that; false when the shown page also changes or
/// leaves out bytes of the original.
bool insertionsOf(std::string_view original, std::string_view shown, std::vector<Insertion>& out) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (true) {
        const std::size_t common = commonLength(original.substr(i), shown.substr(j));
        i += common;
        j += common;
        if (j == shown.size())
            return i == original.size();
        if (i == original.size()) {
            out.push_back({i, j, shown.size() - j});
            return true;
        }
        const std::size_t resumes = shown.find(original.substr(i, kProbe), j + 1);
        if (resumes == std::string_view::npos)
            return false;
        out.push_back({i, j, resumes - j});
        j = resumes;
    }
}

void appendNumber(std::string& out, std::size_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

bool readNumber(std::string_view& in, std::size_t& value) {
    if (in.size() < 4)
        return false;
    value = 0;
    for (int k = 0; k < 4; ++k)
        value = value << 8 | static_cast<unsigned char>(in[static_cast<std::size_t>(k)]);
    in.remove_prefix(4);
    return true;
}

std::string layout(std::string_view shown, std::string_view original) {
    std::string out;
    std::vector<Insertion> insertions;
    // Offsets are kept in 32 bits: a page of 4 GiB or more is kept whole (and never reaches a browser anyway).
    if (original.size() < 0xFFFFFFFFu && shown.size() < 0xFFFFFFFFu && insertionsOf(original, shown, insertions)) {
        out += static_cast<char>(kInsertions);
        appendNumber(out, insertions.size());
        for (const auto& insertion : insertions) {
            appendNumber(out, insertion.at);
            appendNumber(out, insertion.length);
        }
        for (const auto& insertion : insertions)
            out += shown.substr(insertion.from, insertion.length);
    } else {
        out += static_cast<char>(kWhole);
        appendNumber(out, shown.size());
        out += shown;
    }
    out += original;
    return out;
}

bool readLayout(std::string_view in, std::string& shown, std::string& original) {
    if (in.empty())
        return false;
    const auto kind = static_cast<unsigned char>(in.front());
    in.remove_prefix(1);
    std::size_t count = 0;
    if (!readNumber(in, count))
        return false;
    if (kind == kWhole) {
        if (count > in.size())
            return false;
        shown.assign(in.substr(0, count));
        original.assign(in.substr(count));
        return true;
    }
    if (kind != kInsertions || count > in.size() / 8)
        return false;
    std::vector<std::pair<std::size_t, std::size_t>> insertions(count);
    std::size_t inserted = 0;
    for (auto& [at, length] : insertions) {
        readNumber(in, at);
        readNumber(in, length);
        inserted += length;
    }
    if (inserted > in.size())
        return false;
    std::string_view bytes = in.substr(0, inserted);
    original.assign(in.substr(inserted));
    shown.clear();
    shown.reserve(original.size() + inserted);
    std::size_t copied = 0;
    for (const auto& [at, length] : insertions) {
        if (at < copied || at > original.size())
            return false;
        shown.append(original, copied, at - copied);
        shown += bytes.substr(0, length);
        bytes.remove_prefix(length);
        copied = at;
    }
    shown.append(original, copied);
    return true;
}

// Intel's igzip at its fastest level: a page of text deflates to about a quarter, at about 450 MB/s on this
// project's machine (libdeflate's fastest: 270 MB/s, 5% smaller; zlib's: 80 MB/s). Its working memory (about
// 360 KB) is kept for each thread that seals.
std::string deflated(std::string_view bytes) {
    if (bytes.size() >= kLargestIgzip) {
        uLongf size = compressBound(static_cast<uLong>(bytes.size()));
        std::string out(size, '\0');
        compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                  static_cast<uLong>(bytes.size()), Z_BEST_SPEED);
        out.resize(size);
        return out;
    }
    struct Working {
        isal_zstream stream;
        std::vector<std::uint8_t> level = std::vector<std::uint8_t>(ISAL_DEF_LVL1_DEFAULT);
        std::vector<std::uint8_t> out; // grows to the largest page: a new buffer each time costs more than deflating
    };
    thread_local const std::unique_ptr<Working> working = std::make_unique<Working>();
    // Room for the content stored as it is, in blocks of 64 KB, should it not deflate at all.
    std::vector<std::uint8_t>& out = working->out;
    out.resize(std::max(out.size(), bytes.size() + (bytes.size() / 0xFFFF + 1) * 5 + ISAL_DEF_MAX_HDR_SIZE + 16));
    isal_zstream& stream = working->stream;
    isal_deflate_stateless_init(&stream);
    stream.level = 1;
    stream.level_buf = working->level.data();
    stream.level_buf_size = static_cast<std::uint32_t>(working->level.size());
    stream.gzip_flag = IGZIP_ZLIB;
    stream.end_of_stream = 1;
    stream.flush = NO_FLUSH;
    stream.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<std::uint32_t>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(out.size(), 0xFFFFFFFFu));
    if (isal_deflate_stateless(&stream) != COMP_OK)
        throw std::bad_alloc(); // only a lack of room, which the size above rules out
    std::string deflated(reinterpret_cast<const char*>(out.data()), stream.total_out);
    if (out.size() > kKeptBuffer)
        std::vector<std::uint8_t>().swap(out); // a page of many MB does not keep its room for the thread's life
    return deflated;
}

bool inflated(std::string_view packed, std::string& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    out.clear();
    int status = Z_OK;
    while (status == Z_OK) {
        const std::size_t start = out.size();
        const std::size_t chunk = std::max<std::size_t>(packed.size() * 4, 1 << 16);
        if (start + chunk > kLargestContent)
            break;
        out.resize(start + chunk);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + start);
        stream.avail_out = static_cast<uInt>(chunk);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(start + chunk - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in > 0)
            status = Z_OK; // only the output was full
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END && stream.avail_in == 0;
}

} // namespace

std::string SealedContent::pack(std::string_view shown, std::string_view original) {
    return deflated(layout(shown, original));
}

bool SealedContent::unpack(std::string_view packed, std::string& shown, std::string& original) {
    std::string content;
    return packed.size() <= 0xFFFFFFFFu && inflated(packed, content) && readLayout(content, shown, original);
}

} // namespace quillora::unlock
