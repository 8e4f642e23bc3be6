// EncodeWithScripts on arbitrary text: the writer calls and the external script elements between them give the
// text back exactly, and nothing but whole external script elements stays readable.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "WriterCallDecoder.h"
#include "engine/ContentEncoding.h"
#include "engine/TextSearch.h"

#include <cstdint>

using namespace quillora;
using namespace quillora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::u16string text = input.takeRest();
    const std::u16string out = engine::EncodeWithScripts(text);
    if (text.find(WriterCallDecoder::kCallStart) != std::u16string::npos) {
        return 0; // an external script element holding a writer call would be read as one
    }
    std::vector<OutputSegment> segments;
    std::string error;
    require(WriterCallDecoder::split(out, segments, error), "the writer calls are well-formed");
    require(WriterCallDecoder::join(segments) == text, "decoding gives the text back");
    require(!segments.empty() && segments.back().writerCall, "the output ends with a writer call");
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (!segments[i].writerCall) {
            require(i > 0 && segments[i - 1].writerCall, "each external script follows a writer call");
            require(WriterCallDecoder::isExternalScript(segments[i].text),
                    "only whole external script elements stay readable");
        }
    }
    return 0;
}
