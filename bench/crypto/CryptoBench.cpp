// Encrypted runs: the key derivation (once per run), and the unlock page of one protected page of 10 KB,
// 100 KB and 10 MB, with the unlock page's size against the page's (counter "size_ratio").
#include "crypto/Base64.h"
#include "crypto/PageCipher.h"
#include "unlock/UnlockPage.h"

#include <benchmark/benchmark.h>
#include <string>

using namespace quillora::crypto;
using namespace quillora::unlock;
using quillora::charset::PageEncoding;

namespace {

/// A protected page of about the given size: escapes, as the engine writes them, in a head of plain markup.
std::string protectedPage(std::size_t size) {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>A page</title></head><body>"
                       "<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"";
    const std::string escaped = "%3Cp%3ESome%20text%20of%20a%20page%2C%20caf%E9%20and%20more%20words.%3C/p%3E%0A";
    while (page.size() < size)
        page += escaped;
    return page + "\"));//--></SCRIPT></body></html>";
}

void BM_DeriveSiteKey(benchmark::State& state) {
    for (auto _ : state) {
        SiteKey key;
        if (SiteKey::create(u"a password of some length", SiteKey::kIterations, key))
            state.SkipWithError("derivation failed");
        benchmark::DoNotOptimize(key.key().data());
    }
}
BENCHMARK(BM_DeriveSiteKey)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_EncryptPage(benchmark::State& state) {
    const std::string page = protectedPage(static_cast<std::size_t>(state.range(0)));
    EncryptionSettings settings;
    settings.password = std::u16string(u"x");
    settings.iterations = 1; // the derivation is measured on its own
    std::unique_ptr<PageEncryptor> encryptor;
    if (PageEncryptor::create(settings, encryptor)) {
        state.SkipWithError("no encryptor");
        return;
    }
    const PageEncoding encoding{PageEncoding::Kind::Utf8, "", false};
    std::string unlock;
    for (auto _ : state) {
        if (encryptor->encrypt(page, encoding, u"A page", {}, unlock))
            state.SkipWithError("encryption failed");
        benchmark::DoNotOptimize(unlock.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["page_bytes"] = static_cast<double>(page.size());
    state.counters["unlock_bytes"] = static_cast<double>(unlock.size());
    state.counters["size_ratio"] = static_cast<double>(unlock.size()) / static_cast<double>(page.size());
}
BENCHMARK(BM_EncryptPage)->Arg(10 * 1024)->Arg(100 * 1024)->Arg(10 * 1024 * 1024)->Unit(benchmark::kMicrosecond);

// The two parts of an unlock page's cost, for a protected page of 30 KB (a page of 10 KB, escaped).
void BM_SealPage(benchmark::State& state) {
    const std::string page = protectedPage(30 * 1024);
    const PageCipher cipher(SiteKey::Key{});
    for (auto _ : state) {
        PageCipher::Nonce nonce;
        std::size_t sealed = 0;
        if (cipher.seal(page, nonce, [&](std::string_view piece) { sealed += piece.size(); }))
            state.SkipWithError("sealing failed");
        benchmark::DoNotOptimize(sealed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_SealPage)->Unit(benchmark::kMicrosecond);

void BM_Base64Page(benchmark::State& state) {
    const std::string page = protectedPage(30 * 1024);
    std::string text;
    for (auto _ : state) {
        text.clear();
        Base64Writer writer(text);
        writer.append(page);
        writer.finish();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Base64Page)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
