// The byte side of the run's hot path: reading page bytes into text and writing protected text back.
#include "../PageText.h"
#include "charset/PageDecoder.h"
#include "charset/PageEncoder.h"
#include "charset/TextConvert.h"
#include "engine/ContentEncoding.h"
#include "run/PageRewriter.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace quillora::charset;
using quillora::run::PageRewriter;

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

/// A page of about size bytes in one of the ways a page tells its set: 0 a META declaration in its head, 1 none
/// and Cyrillic text in Windows-1251 (the detector guesses), 2 none and Latin text in Windows-1252 (the detector
/// runs and leaves it to Windows-1252), 3 none and UTF-8 text, 4 a META declaration late in a long head.
std::string pageTellingItsSet(std::size_t size, int way) {
    const char* const paragraphs[] = {
        "<p>Some text of a page, caf\xC3\xA9 and more words.</p>\n",
        "<p>\xcf\xe5\xea\xe0\xf0\xed\xff \xee\xf2\xea\xf0\xfb\xe2\xe0\xe5\xf2\xf1\xff \xf0\xe0\xed\xee "
        "\xf3\xf2\xf0\xee\xec, \xf5\xeb\xe5\xe1 \xe8 \xe1\xf3\xeb\xee\xf7\xea\xe8.</p>\n",
        "<p>Die B\xe4"
        "ckerei \xf6"
        "ffnet fr\xfc"
        "h am Morgen, Br\xf6tchen und Kaffee.</p>\n",
        "<p>Some text of a page, caf\xC3\xA9 and more words.</p>\n",
        "<p>Some text of a page, caf\xC3\xA9 and more words.</p>\n",
    };
    std::string bytes =
        way == 0   ? "<html><head><meta charset=utf-8><title>A page</title></head><body>"
        : way == 4 ? "<html><head><style>" + std::string(64 * 1024, ' ') + "</style><meta charset=utf-8></head><body>"
                   : "<html><head><title>A page</title></head><body>";
    while (bytes.size() < size)
        bytes += paragraphs[way];
    return bytes + "</body></html>";
}

} // namespace

// Deciding the set a page is read in, as the run does for every page it reads (range 0 the page's size, range 1
// the way the page tells its set, see pageTellingItsSet).
void BM_EncodingOf(benchmark::State& state) {
    const std::string bytes =
        pageTellingItsSet(static_cast<std::size_t>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        PageEncoding encoding = PageRewriter::encodingOf(bytes);
        benchmark::DoNotOptimize(encoding.kind);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The hot path of a large page: its bytes decoded into text, the text escaped into a writer call. Input MB/s
// counts the page's bytes (UTF-8: mostly ASCII, some Latin-1 and other characters).
void BM_DecodeAndEscape(benchmark::State& state) {
    const std::string bytes =
        quillora::charset::toUtf8(quillora::bench::pageText(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        DecodedPage page = PageDecoder::decode(bytes);
        std::u16string call = quillora::engine::EncodeToWriterCall(page.text);
        benchmark::DoNotOptimize(call.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The same with the text and the output kept from one page to the next, as a run over many large pages keeps
// its memory: what remains is the work itself, without the kernel handing out and clearing fresh memory.
void BM_DecodeAndEscapeReused(benchmark::State& state) {
    const std::string bytes =
        quillora::charset::toUtf8(quillora::bench::pageText(static_cast<std::size_t>(state.range(0))));
    std::u16string text;
    std::u16string call;
    call.reserve(3 * bytes.size() + 64);
    for (auto _ : state) {
        PageDecoder::decodeUtf8AsBrowsers(bytes, text);
        call.clear();
        quillora::engine::AppendWriterCall(call, text);
        benchmark::DoNotOptimize(call.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The engine's part of a run: one whole page through PageRewriter, bytes in and bytes out (range 1 is the
// encryption mode, 2 body, 3 whole page). Input MB/s counts the page's bytes (UTF-8, mostly ASCII). Decoded runs
// the same page through its code units, the way the sets that cannot be read in bytes go; Reused keeps the
// output buffer from one page to the next, which leaves out the kernel handing out and clearing fresh memory.
void rewritePage(benchmark::State& state, bool decoded, bool reuse) {
    const std::string bytes =
        quillora::charset::toUtf8(quillora::bench::wholePage(static_cast<std::size_t>(state.range(0))));
    quillora::engine::ProtectionOptions options;
    options.encryptionMode = static_cast<quillora::engine::EncryptionMode>(state.range(1));
    PageRewriter rewriter(options, quillora::engine::BuildHeader(options));
    const PageEncoding encoding = PageRewriter::encodingOf(bytes);
    std::string kept;
    std::size_t written = 0;
    for (auto _ : state) {
        std::string fresh;
        std::string& out = reuse ? kept : fresh;
        if (decoded)
            rewriter.rewriteDecoded(bytes, encoding, out);
        else
            rewriter.rewrite(bytes, encoding, out);
        written = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["out_MB"] = static_cast<double>(written) / 1e6;
}

void BM_RewritePage(benchmark::State& state) {
    rewritePage(state, false, false);
}
void BM_RewritePageReused(benchmark::State& state) {
    rewritePage(state, false, true);
}
void BM_RewritePageDecoded(benchmark::State& state) {
    rewritePage(state, true, false);
}

BENCHMARK(BM_RewritePage)->Args({64 << 20, 2})->Args({64 << 20, 3})->Args({10 << 10, 2})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RewritePageReused)->Args({64 << 20, 2})->Args({64 << 20, 3})->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RewritePageDecoded)
    ->Args({64 << 20, 2})
    ->Args({64 << 20, 3})
    ->Args({10 << 10, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndEscape)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndEscapeReused)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodingOf)->ArgsProduct({{10 << 10, 8 << 20}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeUtf8Page);
BENCHMARK(BM_DecodeWindows1252Page);
BENCHMARK(BM_EncodeUtf8);
BENCHMARK(BM_EncodeWindows1252);

BENCHMARK_MAIN();
