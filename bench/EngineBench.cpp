// Throughput of the escape and of a whole page's protection. Counters: input MB/s (bytes_per_second, counted as
// UTF-16 code units of two bytes) and output MB/s (out_MB/s). Compare the escape with the same text through
// JavaScript's escape() in bench/escape-node.js, and with memcpy of the escape's own output (Memcpy rows).
#include "PageText.h"
#include "engine/ContentEncoding.h"
#include "engine/PageTransform.h"

#include <benchmark/benchmark.h>
#include <cstring>

namespace quillora {
namespace {

void setCounters(benchmark::State& state, std::size_t inputUnits, std::size_t outputUnits) {
    const auto iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputUnits * 2));
    state.counters["out_MB/s"] =
        benchmark::Counter(iterations * static_cast<double>(outputUnits * 2) / 1e6, benchmark::Counter::kIsRate);
    state.counters["in_MB"] = static_cast<double>(inputUnits * 2) / 1e6;
}

void EncodeToWriterCall(benchmark::State& state) {
    const std::u16string text = bench::pageText(static_cast<std::size_t>(state.range(0)));
    std::size_t outputSize = 0;
    for (auto _ : state) {
        std::u16string out = engine::EncodeToWriterCall(text);
        outputSize = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, text.size(), outputSize);
}

// The floor the escape is measured against: copying its own output once.
void MemcpyOfOutput(benchmark::State& state) {
    const std::u16string text = bench::pageText(static_cast<std::size_t>(state.range(0)));
    const std::u16string source = engine::EncodeToWriterCall(text);
    std::u16string target(source.size(), u'\0');
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size() * 2);
        benchmark::ClobberMemory();
    }
    setCounters(state, text.size(), source.size());
}

// The same with a fresh copy each time, as the escape itself must allocate and fill fresh memory.
void CopyOfOutput(benchmark::State& state) {
    const std::u16string text = bench::pageText(static_cast<std::size_t>(state.range(0)));
    const std::u16string source = engine::EncodeToWriterCall(text);
    for (auto _ : state) {
        std::u16string copy(source);
        benchmark::DoNotOptimize(copy.data());
    }
    setCounters(state, text.size(), source.size());
}

void ProtectPageBodyAllScripts(benchmark::State& state) {
    const std::u16string page = bench::wholePage(static_cast<std::size_t>(state.range(0)));
    engine::ProtectionOptions options;
    options.encryptionMode = engine::EncryptionMode::BodyOnly;
    options.scripts.fill(true);
    options.showRightClickWarning = true;
    options.insertNotice = true;
    const std::u16string header = engine::BuildHeader(options);
    std::size_t outputSize = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::u16string text = page;
        state.ResumeTiming();
        engine::TransformPage(text, options, header);
        outputSize = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    setCounters(state, page.size(), outputSize);
}

constexpr std::int64_t kKB = 512;               // code units: 1 KB of UTF-16
constexpr std::int64_t kMB = 512 * 1024;        // 1 MB
constexpr std::int64_t k64MB = 64 * 512 * 1024; // 64 MB

BENCHMARK(EncodeToWriterCall)->Arg(kKB)->Arg(kMB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(MemcpyOfOutput)->Arg(kKB)->Arg(kMB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(CopyOfOutput)->Arg(kKB)->Arg(kMB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(ProtectPageBodyAllScripts)->Arg(kKB)->Arg(kMB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quillora

BENCHMARK_MAIN();
