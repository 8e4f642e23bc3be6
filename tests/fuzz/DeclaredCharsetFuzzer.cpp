// The character-set rules read page bytes as browsers' tokenizers read them: on any bytes they stay inside the
// bytes, and a META declaration they found is found again whatever follows the bytes (nothing after a tag can
// change what came before it). The set a page is read in is one its protected form can be written in.

#include "FuzzCheck.h"
#include "charset/DeclaredCharset.h"
#include "charset/PageDecoder.h"

#include <cstdint>
#include <string>

using namespace quillora;
using namespace quillora::fuzz;
using charset::CharsetSource;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first half is the page; what follows is more of it.
    const std::string_view page = std::string_view(bytes).substr(0, size / 2);
    const auto declared = charset::DeclaredCharset::of(page);
    if (declared && (declared->source == CharsetSource::Prescan || declared->source == CharsetSource::HeadMeta)) {
        const auto longer = charset::DeclaredCharset::of(bytes);
        require(longer && longer->encoding == declared->encoding && longer->source == declared->source,
                "a META declaration found stays found whatever follows");
    }
    const charset::DecodedPage decoded = charset::PageDecoder::decode(page);
    if (declared && declared->encoding.kind != charset::PageEncoding::Kind::Icu) {
        require(decoded.encoding.kind == declared->encoding.kind, "a declared UTF-8 or UTF-16 page is read so");
    }
    return 0;
}
