// Pages for a strict Content-Security-Policy: each page's META policy (and the _headers file) must allow every
// script the page runs, those its writer calls write included, and nothing needs eval.
#include "RecordingReporter.h"
#include "charset/ByteOrderMark.h"
#include "charset/PageDecoder.h"
#include "crypto/SiteKeyFile.h"
#include "engine/ContentEncoding.h"
#include "engine/PageScripts.h"
#include "engine/TextSearch.h"
#include "run/HeadersFile.h"
#include "run/PageRewriter.h"
#include "run/ProtectionRun.h"
#include "run/ScriptPolicy.h"
#include "unlock/UnlockPage.h"
#include "unlock/UnlockScript.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace quillora::run {
namespace {

using test::readBytes;

constexpr std::string_view kMetaStart = "<meta http-equiv=\"Content-Security-Policy\" content=\"";

std::set<std::string> sourcesOf(std::string_view policy) {
    std::istringstream words{std::string(policy)};
    std::set<std::string> sources;
    for (std::string word; words >> word;)
        sources.insert(word);
    return sources;
}

/// The policy of the page's META tag, read from the page's text.
std::string metaPolicy(std::u16string_view page) {
    const std::u16string start(kMetaStart.begin(), kMetaStart.end());
    const std::size_t at = page.find(start);
    if (at == std::u16string_view::npos)
        return {};
    const std::size_t end = page.find(u'"', at + start.size());
    const std::u16string_view policy = page.substr(at + start.size(), end - at - start.size());
    return {policy.begin(), policy.end()};
}

/// Every source the page's scripts need that its own META policy leaves out (empty: the page runs).
std::vector<std::string> refusedScripts(std::u16string_view page) {
    const std::set<std::string> allowed = sourcesOf(metaPolicy(page));
    ScriptPolicy needed;
    needed.addPage(page);
    std::vector<std::string> refused;
    for (const auto& source : sourcesOf(needed.text())) {
        if (allowed.count(source) == 0)
            refused.push_back(source);
    }
    return refused;
}

std::u16string decoded(const std::string& bytes, const charset::PageEncoding& encoding) {
    std::u16string text;
    charset::PageDecoder::decodeText(encoding, charset::ByteOrderMark::skip(bytes, encoding), text);
    return text;
}

std::u16string ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(ScriptPolicyTest, HashesTheUtf8OfTheScriptAsTheBrowserReadsIt) {
    // SHA-256 of nothing, and of "alert(1)" (as in the policy documentation of browsers).
    EXPECT_EQ(ScriptPolicy::hashOf(u""), "'sha256-47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU='");
    EXPECT_EQ(ScriptPolicy::hashOf(u"alert(1)"), "'sha256-bhHHL3z2vDgxUt0W3dWQOrprscmda2Y5pLsLg4GF+pI='");
    // A character beyond ASCII is hashed as its UTF-8 bytes, whatever set the page is in.
    EXPECT_NE(ScriptPolicy::hashOf(u"\u00E9"), ScriptPolicy::hashOf(u"\u00C3\u00A9"));
    EXPECT_EQ(engine::NormalizeLineBreaks(u"a\r\nb\rc\n\r\n"), u"a\nb\nc\n\n");
}

TEST(ScriptPolicyTest, NamesTheHostsOfExternalScriptsByAbsoluteAddressOnly) {
    const std::vector<std::pair<std::u16string, std::string>> rows = {
        {u"https://cdn.example.com/lib.js", "https://cdn.example.com"},
        {u" HTTP://CDN.Example.com:8080/a.js?x=1", "http://cdn.example.com:8080"},
        {u"//static.example.org/a.js", "static.example.org"},
        {u"js/site.js", ""},
        {u"/js/site.js", ""},
        {u"https://user@evil.example/a.js", ""},
        {u"https://a.example\"onload=x/a.js", ""},
        {u"data:text/javascript,1", "data:"},
    };
    for (const auto& [address, source] : rows)
        EXPECT_EQ(ScriptPolicy::sourceOf(address), source) << std::string(address.begin(), address.end());
}

TEST(ScriptPolicyTest, APageWithAScriptItsPolicyLacksIsNotAllowed) {
    ScriptPolicy policy;
    policy.addPage(u"<p>a</p><script>one()</script><script src=\"https://cdn.example.com/x.js\"></script>");
    EXPECT_TRUE(policy.allows(u"<script>one()</script>"));
    EXPECT_FALSE(policy.allows(u"<script>one()</script><script>two()</script>"));
    EXPECT_FALSE(policy.allows(u"<script src=\"https://other.example/x.js\"></script>"));
    EXPECT_TRUE(policy.allows(u"<script src=\"x.js\"></script>")) << "'self'";
    // A script the writer call writes counts as one of the page.
    EXPECT_FALSE(policy.allows(engine::EncodeWithScripts(u"<script>two()</script>")));
    EXPECT_EQ(policy.text().find("'unsafe-"), std::string::npos);
}

TEST(PageScriptsTest, ReadsScriptsAsTheBrowserMeetsThemInMarkupAndInWhatWriterCallsWrite) {
    const std::u16string written = engine::EncodeWithScripts(u"<p>\u0100</p><script>var a = '\u0100';\r\n</script>");
    const std::u16string page = u"<!-- <script>no()</script> --><script type=module>b()</script>"
                                u"<SCRIPT SRC='lib.js'></SCRIPT><textarea><script>no()</script></textarea>" +
                                written;
    const engine::PageScripts scripts = engine::ReadPageScripts(page);
    ASSERT_EQ(scripts.sources, std::vector<std::u16string>{u"lib.js"});
    std::vector<std::u16string> texts = scripts.inlineTexts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), u"b()"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), u"var a = '\u0100';\n"), texts.end())
        << "the written script, decoded, its line break read as a line feed";
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"no()"), 0) << "a comment and a textarea hold no script";
    const auto calls = std::count_if(
        texts.begin(), texts.end(), [](const std::u16string& t) { return t.starts_with(u"<!--\nqv_d00(unescape(\""); });
    EXPECT_GE(calls, 1);
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(calls) + 2) << "b(), the writer calls and the written script";
}

/// A page through the rewriter of a strict run, in each mode and in sets read as bytes, decoded and UTF-16.
struct StrictCase {
    engine::EncryptionMode mode;
    std::string page;
    std::u16string siteScript; // a script of the site's, as the browser hashes it
};

class StrictPageTest : public ::testing::TestWithParam<StrictCase> {};

std::string utf16le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST_P(StrictPageTest, EveryScriptThePageRunsIsInItsPolicyWhichComesBeforeAnyScript) {
    engine::ProtectionOptions options;
    options.strictCsp = true;
    options.encryptionMode = GetParam().mode;
    options.scripts[engine::kScriptRightClick] = true;
    options.scripts[engine::kScriptPrinting] = true;
    PageRewriter rewriter(options, engine::BuildHeader(options));
    const std::string& page = GetParam().page;
    const auto encoding = PageRewriter::encodingOf(page);
    std::string out;
    ASSERT_FALSE(rewriter.rewrite(page, encoding, out));
    const std::u16string text = decoded(out, encoding);
    EXPECT_EQ(text.find(u"eval("), std::u16string::npos);
    const std::size_t meta = text.find(ascii(kMetaStart));
    ASSERT_NE(meta, std::u16string::npos);
    EXPECT_LT(meta, engine::findIgnoreCase(text, u"<script", 0));
    EXPECT_EQ(refusedScripts(text), std::vector<std::string>{});
    EXPECT_TRUE(sourcesOf(metaPolicy(text)).count(ScriptPolicy::hashOf(GetParam().siteScript)))
        << "the site's own script, as the browser reads it";
    EXPECT_EQ(sourcesOf(metaPolicy(text)).count("https://cdn.example.com"), 1u);
    EXPECT_EQ(rewriter.policy().text(), metaPolicy(text));
    EXPECT_TRUE(PageRewriter::isProtected(out, encoding)) << "a second run leaves it alone";
}

const std::string kUtf8Page = "<!DOCTYPE html><html><head><meta charset=utf-8><title>T</title>"
                              "<script>var s = '\xC3\xA9';\r\n</script></head><body><p>Text <a href=\"x.html\">x</a> "
                              "<a href=\"mailto:a@example.com\">mail</a></p><script>document.title += '!'</script>"
                              "<script src=\"https://cdn.example.com/lib.js\"></script></body></html>";
const std::string kLatinPage = "<html><head><meta charset=windows-1252><title>T</title></head><body><p>caf\xE9</p>"
                               "<script>var s = '\xE9';\r\n</script>"
                               "<script src=\"https://cdn.example.com/lib.js\"></script></body></html>";
const std::u16string kUtf16Text = u"<html><head><title>T</title></head><body><p>\u4E2D</p>"
                                  u"<script>var s = '\u4E2D';\r\n</script>"
                                  u"<script src=\"https://cdn.example.com/lib.js\"></script></body></html>";

std::vector<StrictCase> strictCases() {
    std::vector<StrictCase> cases;
    for (const auto mode :
         {engine::EncryptionMode::EmailLinks, engine::EncryptionMode::AllLinks, engine::EncryptionMode::BodyOnly,
          engine::EncryptionMode::WholePage, engine::EncryptionMode::None}) {
        cases.push_back({mode, kUtf8Page, u"var s = '\u00E9';\n"});
        cases.push_back({mode, kLatinPage, u"var s = '\u00E9';\n"});
        cases.push_back({mode, utf16le(kUtf16Text), u"var s = '\u4E2D';\n"});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ModesAndSets, StrictPageTest, ::testing::ValuesIn(strictCases()));

TEST(StrictPageTest, WithoutTheChoiceThePageKeepsItsBootstrapAndNoPolicy) {
    engine::ProtectionOptions options;
    PageRewriter rewriter(options, engine::BuildHeader(options));
    std::string out;
    ASSERT_FALSE(rewriter.rewrite(kUtf8Page, PageRewriter::encodingOf(kUtf8Page), out));
    EXPECT_EQ(out.find("Content-Security-Policy"), std::string::npos);
    EXPECT_NE(out.find("eval(unescape("), std::string::npos);
}

TEST(HeadersFileTest, GivesEachPageTheAddressesAHostServesItAt) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
        {"index.html", {"/index.html", "/"}},
        {"a/b/page.htm", {"/a/b/page.htm", "/a/b/page"}},
        {"docs/Index.HTML", {"/docs/Index.HTML", "/docs/"}},
        {"my page \xC3\xA9.html", {"/my%20page%20%C3%A9.html", "/my%20page%20%C3%A9"}},
        {"notes.txt", {"/notes.txt"}},
    };
    for (const auto& [relative, addresses] : rows)
        EXPECT_EQ(HeadersFile::addressesOf(relative), addresses) << relative;
}

TEST(HeadersFileTest, KeepsTheBlocksOfPagesThisRunDidNotWrite) {
    const std::string earlier = HeadersFile::text(
        "", {{"/a.html", "script-src 'self' 'sha256-A'"}, {"/b.html", "script-src 'self' 'sha256-B'"}});
    ASSERT_TRUE(HeadersFile::isOurs(earlier));
    const std::string now = HeadersFile::text(earlier, {{"/b.html", "script-src 'self' 'sha256-C'"}});
    EXPECT_NE(now.find("/a.html\n  Content-Security-Policy: script-src 'self' 'sha256-A'\n"), std::string::npos);
    EXPECT_NE(now.find("/b.html\n  Content-Security-Policy: script-src 'self' 'sha256-C'\n"), std::string::npos);
    EXPECT_EQ(now.find("sha256-B"), std::string::npos);
    EXPECT_FALSE(HeadersFile::isOurs("/*\n  X-Frame-Options: DENY\n"));
}

class StrictRunTest : public ::testing::Test {
protected:
    StrictRunTest() { options.strictCsp = true; }
    RunSummary run(const std::vector<SelectionEntry>& selection) {
        reporter = {};
        return ProtectionRun(options, reporter, disk).ProtectFiles(selection);
    }
    bool said(std::string_view line) const {
        return std::find(reporter.events.begin(), reporter.events.end(), line) != reporter.events.end();
    }
    /// The policy of the _headers block for address.
    std::string headerPolicy(const std::string& file, std::string_view address) const {
        const std::string text = readBytes(temp / file);
        const std::string block = std::string(address) + "\n  Content-Security-Policy: ";
        const std::size_t at = text.find(block);
        if (at == std::string::npos)
            return {};
        const std::size_t start = at + block.size();
        return text.substr(start, text.find('\n', start) - start);
    }

    test::TempFolder temp;
    engine::ProtectionOptions options;
    test::RecordingReporter reporter;
    disk::PosixFileSystem disk;
};

TEST_F(StrictRunTest, ACopyCarriesEachPagesPolicyInThePageAndInItsHeadersFile) {
    temp.write("site/index.html", kUtf8Page);
    temp.write("site/sub/b.html", kLatinPage);
    options.storageMode = engine::StorageMode::CopyToFolder;
    options.targetFolder = temp / "out";
    const auto summary = run({{temp / "site", true}});
    EXPECT_EQ(summary.written, 2u);
    EXPECT_TRUE(said(messages::policyFile(temp / "out/_headers", false, {})));
    for (const auto& [file, address] : {std::pair{"out/index.html", "/"}, std::pair{"out/sub/b.html", "/sub/b.html"}}) {
        const std::string bytes = readBytes(temp / file);
        const std::u16string text = decoded(bytes, PageRewriter::encodingOf(bytes));
        EXPECT_EQ(refusedScripts(text), std::vector<std::string>{}) << file;
        EXPECT_EQ(headerPolicy("out/_headers", address), metaPolicy(text)) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(temp / "site/_headers")) << "nothing is written in the sources";
}

TEST_F(StrictRunTest, TheSitesOwnHeadersFileIsLeftAsItIs) {
    const std::string own = "/*\n  X-Frame-Options: DENY\n";
    temp.write("site/_headers", own);
    temp.write("site/a.html", kUtf8Page);
    options.makeBackups = false;
    run({{temp / "site", true}});
    EXPECT_EQ(readBytes(temp / "site/_headers"), own);
    EXPECT_FALSE(headerPolicy("site/_headers.quillora", "/a.html").empty());
    EXPECT_TRUE(said(messages::policyFile(temp / "site/_headers.quillora", true, {})));
    // A later run over a page of the site keeps the other pages' blocks.
    temp.write("site/b.html", kLatinPage);
    run({{temp / "site/b.html", false}});
    EXPECT_FALSE(headerPolicy("site/_headers.quillora", "/a.html").empty());
    EXPECT_FALSE(headerPolicy("site/_headers.quillora", "/b.html").empty());
}

TEST_F(StrictRunTest, AnUnlockPagesPolicyAllowsItsScriptAndEveryScriptOfThePageItOpens) {
    options.passwordProtect = true;
    options.encrypt = true;
    options.password = u"correct horse battery staple";
    options.makeBackups = false;
    temp.write("site/a.html", kUtf8Page);
    ASSERT_EQ(run({{temp / "site/a.html", false}}).written, 1u);
    const std::string unlockPage = readBytes(temp / "site/a.html");
    ASSERT_TRUE(unlock::PageEncryptor::isUnlockPage(unlockPage));
    const std::set<std::string> allowed = sourcesOf(metaPolicy(ascii(unlockPage)));
    const std::string_view script = unlock::unlockScript();
    EXPECT_EQ(allowed.count(ScriptPolicy::hashOf(engine::NormalizeLineBreaks(ascii(script)))), 1u);
    EXPECT_LT(unlockPage.find(kMetaStart), unlockPage.find("<script")) << "the policy stands before any script";

    unlock::SealedPage sealed;
    crypto::SiteKey derived;
    crypto::SiteKey key;
    ASSERT_TRUE(unlock::PageEncryptor::readSealed(unlockPage, sealed));
    ASSERT_FALSE(crypto::SiteKey::derive(options.password, sealed.salt, sealed.iterations, derived));
    ASSERT_FALSE(crypto::SiteKeyFile::openSlots(derived, sealed.slots, key)); // the content key, as a browser does
    std::string opened;
    std::string original;
    ASSERT_TRUE(unlock::PageEncryptor::openContent(key, sealed, opened, original));
    const std::u16string text = decoded(opened, PageRewriter::encodingOf(opened));
    ScriptPolicy needed;
    needed.addPage(text);
    for (const auto& source : sourcesOf(needed.text()))
        EXPECT_EQ(allowed.count(source), 1u) << source << ": the opened page keeps the unlock page's policy";
    EXPECT_EQ(headerPolicy("site/_headers", "/a.html"), metaPolicy(ascii(unlockPage)));
}

} // namespace
} // namespace quillora::run
