// A page read in its bytes and the same page decoded into code units give the same protected bytes, in every set
// whose markup the run reads in its bytes, in all four modes, with a notice typed in any characters. Where UTF-8
// holds invalid bytes the decoded page has U+FFFD in their place, so there the two outputs must read the same.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "charset/EncodingLabels.h"
#include "charset/PageCharsets.h"
#include "charset/PageDecoder.h"
#include "engine/PageTransform.h"
#include "engine/TextSearch.h"
#include "run/PageRewriter.h"

#include <array>
#include <cstdint>

using namespace quillora;
using namespace quillora::fuzz;
using charset::PageEncoding;

namespace {

constexpr std::array<const char*, 30> kLabels = {
    "utf-8",        "windows-1252", "ibm866",       "iso-8859-2",   "iso-8859-3",   "iso-8859-4",
    "iso-8859-5",   "iso-8859-6",   "iso-8859-7",   "iso-8859-8",   "iso-8859-10",  "iso-8859-13",
    "iso-8859-14",  "iso-8859-15",  "koi8-r",       "koi8-u",       "macintosh",    "x-mac-cyrillic",
    "windows-874",  "windows-1250", "windows-1251", "windows-1253", "windows-1254", "windows-1255",
    "windows-1256", "windows-1257", "windows-1258", "euc-jp",       "utf-8",        "windows-1252",
};

bool isValidUtf8(std::string_view bytes) {
    bool sawNonAscii = false;
    return charset::PageDecoder::isValidUtf8(bytes, sawNonAscii);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t set = input.takeByte();
    const std::uint8_t flags = input.takeByte();
    auto encoding = charset::encodingForLabel(kLabels[set % kLabels.size()]);
    if (!encoding || !charset::readsMarkupInBytes(*encoding)) {
        return 0; // a converter this machine lacks
    }
    engine::ProtectionOptions options;
    options.encryptionMode = static_cast<engine::EncryptionMode>(flags & 3);
    options.insertNotice = flags & 4;
    options.scripts[engine::kScriptImageToolbar] = flags & 8;
    options.scripts[engine::kScriptPrinting] = flags & 16;
    options.noticeText = input.takeText(input.takeByte());
    std::string page;
    if ((flags & 32) && encoding->kind == PageEncoding::Kind::Utf8) {
        encoding->byteOrderMark = true;
        page = "\xEF\xBB\xBF";
    }
    while (input.remaining() > 0) {
        page += static_cast<char>(input.takeByte());
    }

    run::PageRewriter rewriter(options, engine::BuildHeader(options));
    std::string bytes;
    std::string decoded;
    require(!rewriter.rewrite(page, *encoding, bytes), "a page in a set read as bytes is always rewritten");
    (void)rewriter.frames(page, *encoding);
    if (rewriter.rewriteDecoded(page, *encoding, decoded)) {
        return 0; // bytes the converter cannot read: never taken for a page in that set
    }
    if (encoding->kind != PageEncoding::Kind::Utf8 || isValidUtf8(page)) {
        require(bytes == decoded, "the byte path writes what the decoding path writes");
        return 0;
    }
    // A raw invalid byte counts one byte where its U+FFFD counts three: the declaration's place may then differ.
    // (The markup is read with the zero bytes taken out.)
    std::string markup = page;
    std::erase(markup, '\0');
    if (engine::findIgnoreCase(std::string_view(markup), "charset", 0) != engine::kNotFound) {
        return 0;
    }
    std::u16string fromBytes;
    std::u16string fromDecoded;
    charset::PageDecoder::decodeText(*encoding, bytes, fromBytes);
    charset::PageDecoder::decodeText(*encoding, decoded, fromDecoded);
    require(fromBytes == fromDecoded, "with invalid UTF-8 both paths read the same");
    return 0;
}
