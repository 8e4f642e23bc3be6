#include "charset/ProtectedCharset.h"

#include "CharsetSamples.h"
#include "charset/DeclaredCharset.h"
#include "charset/EncodingLabels.h"
#include "engine/ContentEncoding.h"
#include "run/PageRewriter.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using engine::EncryptionMode;
using namespace charset;
using charset::test::encodeIn;

std::string bootstrap() {
    const std::u16string_view text = engine::Bootstrap();
    return std::string(text.begin(), text.end());
}

/// True when a META declaration stands right in front of the header, where the rewriter puts one of its own.
bool declaredBeforeTheHeader(std::string_view out) {
    const std::size_t header = out.find(bootstrap());
    const std::size_t meta = out.substr(0, header).rfind("<meta charset=\"");
    return header != std::string_view::npos && meta != std::string_view::npos && out.find('>', meta) + 1 == header;
}

/// The web name of the set the bytes bind a browser to; empty when they declare none.
std::string declaredSet(std::string_view bytes) {
    const auto declared = DeclaredCharset::of(bytes);
    return declared ? std::string(labelForEncoding(declared->encoding)) : std::string();
}

const std::string kRussianKoi8 = encodeIn(charset::test::kRussian, "koi8-r");
const std::string kTitleKoi8 = encodeIn(u"Пекарня", "koi8-r");
const std::string kLongComment = "<!-- " + std::string(1100, 'x') + " -->";

struct KeptRow {
    const char* name;
    std::string page;
    std::string set; // the web name of the set a browser reads the original in
};

class KeptCharset : public ::testing::TestWithParam<KeptRow> {};

// In every mode, with a notice on top or not, the protected page binds a browser to the set it reads the
// original in, by a declaration it takes; both ways through the rewriter write the same bytes.
TEST_P(KeptCharset, ProtectedPageIsReadInTheOriginalsSet) {
    const auto& row = GetParam();
    const PageEncoding encoding = PageRewriter::encodingOf(row.page);
    ASSERT_EQ(labelForEncoding(encoding), row.set);
    for (int mode = 0; mode < 4; ++mode) {
        for (const bool notice : {false, true}) {
            engine::ProtectionOptions options;
            options.encryptionMode = static_cast<EncryptionMode>(mode);
            options.insertNotice = notice;
            options.noticeText = u"(c) us";
            PageRewriter rewriter(options, engine::BuildHeader(options));
            std::string bytes;
            std::string decoded;
            ASSERT_FALSE(rewriter.rewrite(row.page, encoding, bytes));
            ASSERT_FALSE(rewriter.rewriteDecoded(row.page, encoding, decoded));
            EXPECT_EQ(declaredSet(bytes), row.set) << "mode " << mode << ", notice " << notice;
            EXPECT_EQ(PageRewriter::encodingOf(bytes), encoding) << "mode " << mode << ", notice " << notice;
            EXPECT_EQ(bytes, decoded) << "mode " << mode << ", notice " << notice;
            if (mode == 0 && !notice) {
                // Only a guessed set (the page declaring none) is declared even where the page kept its own.
                EXPECT_EQ(declaredBeforeTheHeader(bytes), !DeclaredCharset::of(row.page));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, KeptCharset,
    ::testing::Values(KeptRow{"MetaInTheBody",
                              "<html><head><title>" + kTitleKoi8 + "</title></head><body><meta charset=\"koi8-r\"><p>" +
                                  kRussianKoi8 + "</p></body></html>",
                              "koi8-r"},
                      KeptRow{"MetaLateInTheHead",
                              "<html><head>" + kLongComment + "<meta charset=koi8-r><title>" + kTitleKoi8 +
                                  "</title></head><body>" + kRussianKoi8 + "</body></html>",
                              "koi8-r"},
                      KeptRow{"XmlDeclaration",
                              "<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<html><head><title>" + kTitleKoi8 +
                                  "</title></head><body><a href=\"mailto:a@b\">" + kRussianKoi8 + "</a></body></html>",
                              "koi8-r"},
                      KeptRow{"GuessedCyrillic", charset::test::undeclaredPage(charset::test::kRussian, "windows-1251"),
                              "windows-1251"},
                      KeptRow{"GuessedShiftJis", charset::test::undeclaredPage(charset::test::kJapanese, "shift_jis"),
                              "shift_jis"},
                      KeptRow{"DescriptionIsNoDeclaration",
                              "<html><head><meta name=\"description\" content=\"charset=koi8-r\"><title>" +
                                  encodeIn(u"Пекарня", "windows-1251") + "</title></head><body><p>" +
                                  encodeIn(charset::test::kRussian, "windows-1251") + "</p></body></html>",
                              "windows-1251"}),
    [](const auto& info) { return info.param.name; });

struct UnchangedRow {
    const char* name;
    std::string page;
};

class UnchangedCharset : public ::testing::TestWithParam<UnchangedRow> {};

// A page whose set a browser takes from the protected page as from the original gets no declaration of ours.
TEST_P(UnchangedCharset, ProtectedPageGetsNoDeclaration) {
    for (int mode = 0; mode < 4; ++mode) {
        engine::ProtectionOptions options;
        options.encryptionMode = static_cast<EncryptionMode>(mode);
        PageRewriter rewriter(options, engine::BuildHeader(options));
        std::string out;
        ASSERT_FALSE(rewriter.rewrite(GetParam().page, PageRewriter::encodingOf(GetParam().page), out));
        EXPECT_FALSE(declaredBeforeTheHeader(out)) << "mode " << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, UnchangedCharset,
    ::testing::Values(
        UnchangedRow{"DeclaredInTheHead", "<html><head><meta charset=koi8-r><title>" + kTitleKoi8 +
                                              "</title></head><body>" + kRussianKoi8 + "</body></html>"},
        UnchangedRow{"PragmaInTheHead", "<html><head><meta http-equiv=Content-Type content='text/html; "
                                        "charset=koi8-r'></head><body>" +
                                            kRussianKoi8 + "</body></html>"},
        UnchangedRow{"UndeclaredWestern", charset::test::undeclaredPage(charset::test::kGerman, "windows-1252")},
        UnchangedRow{"UndeclaredUtf8", charset::test::undeclaredPage(charset::test::kRussian, "utf-8")},
        UnchangedRow{"CommentedOutDeclaration", "<html><head><!-- <meta charset=\"utf-8\"> --><title>Caf\xE9</title>"
                                                "</head><body>Cr\xE8me br\xFBl\xE9"
                                                "e</body></html>"},
        UnchangedRow{"Ascii", "<html><head><title>t</title></head><body><p>plain</p></body></html>"}),
    [](const auto& info) { return info.param.name; });

// The META that declared the set went into the body's writer call: the title, still in the page's bytes, is read
// in the set declared at the top of the head.
TEST(KeptCharset, MetaInTheBodyIsDeclaredAgainBeforeTheTitle) {
    engine::ProtectionOptions options;
    options.encryptionMode = EncryptionMode::BodyOnly;
    const std::string page = "<html><head><title>" + kTitleKoi8 + "</title></head><body><meta charset=\"koi8-r\"><p>" +
                             kRussianKoi8 + "</p></body></html>";
    PageRewriter rewriter(options, engine::BuildHeader(options));
    std::string out;
    ASSERT_FALSE(rewriter.rewrite(page, PageRewriter::encodingOf(page), out));
    EXPECT_EQ(out.rfind("<html><head><meta charset=\"koi8-r\">" + bootstrap() + "<title>" + kTitleKoi8 + "</title>", 0),
              0u);
}

TEST(KeptCharset, Utf16WithoutByteOrderMarkGetsOne) {
    engine::ProtectionOptions options;
    options.insertNotice = true;
    options.noticeText = u"n";
    const std::string page("<\0?\0x\0m\0l\0?\0>\0<\0b\0>\0\x3F\x04<\0/\0b\0>\0", 30);
    const PageEncoding encoding = PageRewriter::encodingOf(page);
    ASSERT_EQ(encoding.kind, PageEncoding::Kind::Utf16LE);
    PageRewriter rewriter(options, engine::BuildHeader(options));
    std::string out;
    ASSERT_FALSE(rewriter.rewrite(page, encoding, out));
    EXPECT_EQ(out.substr(0, 6), std::string("\xFF\xFE<\0!\0", 6));
}

TEST(ProtectedCharset, DeclaresAGuessedSetFromTheStart) {
    const std::string page = charset::test::undeclaredPage(charset::test::kRussian, "windows-1251");
    const ProtectedCharset kept(page, PageRewriter::encodingOf(page));
    EXPECT_EQ(kept.initialDeclaration(), "<meta charset=\"windows-1251\">");
    EXPECT_FALSE(kept.needsDeclaration("<meta charset=\"windows-1251\">" + page));
    EXPECT_TRUE(kept.needsDeclaration("<meta charset=\"koi8-r\">" + page));
}

TEST(ProtectedCharset, ADeclaredSetNeedsADeclarationOnlyWhereTheProtectedPageLostIt) {
    const std::string page = "<html><head><meta charset=koi8-r></head><body>" + kRussianKoi8 + "</body></html>";
    const ProtectedCharset kept(page, PageRewriter::encodingOf(page));
    EXPECT_EQ(kept.initialDeclaration(), "");
    EXPECT_EQ(kept.declaration(), "<meta charset=\"koi8-r\">");
    EXPECT_FALSE(kept.needsDeclaration(page));
    EXPECT_TRUE(kept.needsDeclaration("<html><head></head><body><script>w('%u0430')</script></body></html>"));
    EXPECT_TRUE(kept.needsDeclaration(kLongComment + "<p>" + page));
}

// The browser reads the set the page declares even where the run fell back to Windows-1252 for bytes invalid in it.
TEST(ProtectedCharset, KeepsTheDeclaredSetOfAPageItCouldNotReadInIt) {
    const std::string page = "<html><body><meta charset=euc-kr><p>\xA1 x</p></body></html>";
    const PageEncoding encoding = PageRewriter::encodingOf(page);
    ASSERT_EQ(encoding.kind, PageEncoding::Kind::Windows1252);
    const ProtectedCharset kept(page, encoding);
    EXPECT_EQ(kept.declaration(), "<meta charset=\"euc-kr\">");
    EXPECT_TRUE(kept.needsDeclaration("<html><body><script>w()</script></body></html>"));
}

TEST(ProtectedCharset, LeavesWhatABrowserTakesAnywayAlone) {
    for (const std::string& page : {charset::test::undeclaredPage(charset::test::kGerman, "windows-1252"),
                                    charset::test::undeclaredPage(charset::test::kRussian, "utf-8"),
                                    std::string("<p>ascii</p>"), std::string("\xFF\xFE<\0p\0>\0", 8)}) {
        const ProtectedCharset kept(page, PageRewriter::encodingOf(page));
        EXPECT_EQ(kept.initialDeclaration(), "");
        EXPECT_FALSE(kept.needsDeclaration("<html><body>x</body></html>"));
    }
}

} // namespace
} // namespace quillora::run
