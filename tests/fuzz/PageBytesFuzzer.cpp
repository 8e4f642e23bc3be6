// The byte decoding of pages: bytes read into text and written back in the set they were read in give the same
// bytes, for Windows-1252, UTF-8 and UTF-16 with a byte-order mark. Bytes the set cannot carry (invalid UTF-8
// after a UTF-8 mark, an odd UTF-16 tail) come back as U+FFFD, as a browser shows them, and read back the same.

#include "FuzzCheck.h"
#include "charset/PageDecoder.h"
#include "charset/PageEncoder.h"

#include <cstdint>
#include <unicode/ustring.h>

using namespace quillora;
using namespace quillora::fuzz;
using charset::PageEncoding;

namespace {

bool isValidUtf8(std::string_view bytes) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
}

/// True when the bytes hold nothing their set has to replace, so that they must come back unchanged.
bool carriesEverything(std::string_view bytes, const charset::DecodedPage& page) {
    switch (page.encoding.kind) {
    case PageEncoding::Kind::Windows1252:
        return true;
    case PageEncoding::Kind::Utf8:
        return isValidUtf8(bytes);
    case PageEncoding::Kind::Utf16LE:
    case PageEncoding::Kind::Utf16BE:
        return bytes.size() % 2 == 0; // lone surrogates included: the units are written as they were read
    case PageEncoding::Kind::Icu:
        return false; // sets with several spellings of one character do not promise the same bytes
    }
    return false;
}

/// Writes the text back in pieces of the given size, the way the page writer does with its larger pieces.
std::string writeBack(const charset::DecodedPage& page, std::size_t pieceUnits) {
    charset::PageEncoder encoder;
    require(!encoder.start(page.encoding), "the encoder starts in the set the page was read in");
    std::string out(encoder.byteOrderMark());
    std::u16string_view text = page.text;
    do {
        const std::size_t length = std::min(text.size(), pieceUnits);
        std::string_view bytes;
        const auto error = encoder.encode(text.substr(0, length), length == text.size(), bytes);
        require(!error || page.encoding.kind == PageEncoding::Kind::Icu, "a page read in a set can be written in it");
        out += bytes;
        text.remove_prefix(length);
    } while (!text.empty());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte sets the piece size, so that pieces split surrogate pairs and UTF-8 sequences anywhere.
    const std::size_t pieceUnits = 1 + data[0] % 64;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const charset::DecodedPage page = charset::PageDecoder::decode(bytes);
    const std::string out = writeBack(page, pieceUnits);
    if (carriesEverything(bytes, page)) {
        require(out == bytes, "writing back what was read gives the same bytes");
        return 0;
    }
    if (page.encoding.kind != PageEncoding::Kind::Icu) {
        require(charset::PageDecoder::decode(out).text == page.text,
                "what is written back reads as the text, with U+FFFD for what the set could not carry");
    }
    return 0;
}
