// The byte side of the run's hot path: reading page bytes into text and writing protected text back.
#include "run/PageDecoder.h"
#include "run/PageEncoder.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace quillora::run;

namespace {

std::string sampleBytes(bool utf8) {
    std::string bytes = "<html><head><title>A page</title></head><body>";
    while (bytes.size() < 10 * 1024)
        bytes += utf8 ? "<p>Some text of a page, caf\xC3\xA9 and more words.</p>\n"
                      : "<p>Some text of a page, caf\xE9 and more words.</p>\n";
    return bytes + "</body></html>";
}

void decodePage(benchmark::State& state, bool utf8) {
    const std::string bytes = sampleBytes(utf8);
    for (auto _ : state) {
        DecodedPage page = PageDecoder::decode(bytes);
        benchmark::DoNotOptimize(page.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_DecodeUtf8Page(benchmark::State& state) {
    decodePage(state, true);
}
void BM_DecodeWindows1252Page(benchmark::State& state) {
    decodePage(state, false);
}

void encodeProtected(benchmark::State& state, PageEncoding::Kind kind) {
    // A protected page is mostly escapes: ASCII, about three times the page.
    std::u16string text;
    while (text.size() < 30 * 1024)
        text += u"%3C%70%3E%53%6F%6D%65%20%74%65%78%74%u00E9%20";
    PageEncoder encoder;
    PageEncoding encoding;
    encoding.kind = kind;
    for (auto _ : state) {
        encoder.start(encoding);
        std::u16string_view rest = text;
        std::size_t written = 0;
        while (!rest.empty()) {
            const std::size_t length = std::min(rest.size(), PageEncoder::kPieceUnits);
            std::string_view bytes;
            encoder.encode(rest.substr(0, length), length == rest.size(), bytes);
            written += bytes.size();
            rest.remove_prefix(length);
        }
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_EncodeUtf8(benchmark::State& state) {
    encodeProtected(state, PageEncoding::Kind::Utf8);
}
void BM_EncodeWindows1252(benchmark::State& state) {
    encodeProtected(state, PageEncoding::Kind::Windows1252);
}

} // namespace

BENCHMARK(BM_DecodeUtf8Page);
BENCHMARK(BM_DecodeWindows1252Page);
BENCHMARK(BM_EncodeUtf8);
BENCHMARK(BM_EncodeWindows1252);

BENCHMARK_MAIN();
