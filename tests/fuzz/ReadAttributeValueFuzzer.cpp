// ReadAttributeValue on arbitrary spans, including spans that reach outside the text, against a plain
// rendering of the attribute-value walk.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "engine/PageTransform.h"

#include <algorithm>
#include <cstdint>

using namespace quillora;
using namespace quillora::fuzz;

namespace {

std::u16string referenceValue(std::ptrdiff_t first, std::ptrdiff_t last, std::u16string_view text) {
    enum { Before, Quoted, Unquoted, Finished } state = Before;
    std::u16string value;
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(text.size());
    for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(first, 0); i <= last && i < size && state != Finished; ++i) {
        const char16_t c = text[static_cast<std::size_t>(i)];
        const bool quote = c == u'\'' || c == u'"';
        if (c == u' ') {
            state = state == Unquoted ? Finished : state;
            if (state == Quoted) {
                value += c;
            }
        } else if (quote && state != Unquoted) {
            state = state == Before ? Quoted : Finished;
        } else {
            state = state == Before ? Unquoted : state;
            value += c;
        }
    }
    while (!value.empty() && value.back() == u' ') {
        value.pop_back();
    }
    return value.substr(std::min(value.find_first_not_of(u' '), value.size()));
}

/// A signed offset from two bytes, reaching a little before and after the usual texts.
std::ptrdiff_t takeOffset(FuzzInput& input) {
    const int raw = input.takeByte() | (input.takeByte() << 8);
    return static_cast<std::ptrdiff_t>(raw % 1200) - 100;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::ptrdiff_t first = takeOffset(input);
    const std::ptrdiff_t last = takeOffset(input);
    const std::u16string text = input.takeRest();
    const std::u16string value = engine::ReadAttributeValue(first, last, text);
    require(value == referenceValue(first, last, text), "the value is the one the walk gives");
    return 0;
}
