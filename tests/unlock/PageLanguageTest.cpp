#include "unlock/PageLanguage.h"

#include <gtest/gtest.h>

namespace quillora::unlock {
namespace {

using charset::PageEncoding;
using Kind = PageEncoding::Kind;

const PageEncoding kUtf8{Kind::Utf8, "", false};

struct LanguageCase {
    const char* name;
    std::string page;
    std::string attributes; // as the unlock page's html tag carries them
    std::string primary;
};

class PageLanguageOf : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(PageLanguageOf, IsTakenFromTheHtmlTagAsABrowserReadsIt) {
    const PageLanguage language = pageLanguage(GetParam().page, kUtf8);
    EXPECT_EQ(language.attributes(), GetParam().attributes);
    EXPECT_EQ(language.primary(), GetParam().primary);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageLanguageOf,
    ::testing::Values(
        LanguageCase{"LangAndDir", "<!DOCTYPE html><html lang=\"ar\" dir=\"rtl\"><head>", " lang=\"ar\" dir=\"rtl\"",
                     "ar"},
        LanguageCase{"RegionAndCase", "<HTML LANG='de-CH' DIR=LTR>", " lang=\"de-ch\" dir=\"ltr\"", "de"},
        LanguageCase{"AfterCommentsAndXml", "<?xml version=\"1.0\"?><!-- <html lang=x> --><html lang=ja>",
                     " lang=\"ja\"", "ja"},
        LanguageCase{"EmptyLangMeansUnknownAndStays", "<html lang=\"\">", " lang=\"\"", ""},
        LanguageCase{"FirstOfTwoCounts", "<html lang=fr lang=es dir=auto dir=rtl>", " lang=\"fr\" dir=\"auto\"", "fr"},
        LanguageCase{"NoHtmlTag", "<head><title>x</title>", "", ""},
        LanguageCase{"HtmlTagNotFirst", "<p lang=de><html lang=de>", "", ""},
        LanguageCase{"OtherAttributesOnly", "<html class=\"no-js\" xmlns=\"http://www.w3.org/1999/xhtml\">", "", ""},
        // Nothing that could end the attribute or the tag gets through.
        LanguageCase{"QuoteInLang", "<html lang='en\" onload=\"x'>", "", ""},
        LanguageCase{"ReferenceInLang", "<html lang=\"&quot;en\">", "", ""},
        LanguageCase{"UnknownDir", "<html dir=\"up\" lang=\"es-419\">", " lang=\"es-419\"", "es"},
        LanguageCase{"OverlongLang", "<html lang=\"" + std::string(40, 'a') + "\">", "", ""}),
    [](const auto& info) { return info.param.name; });

TEST(PageLanguageOfBytes, ReadsUtf16AndIso2022JpAsText) {
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string_view("<html lang=\"he\" dir=\"rtl\">"))
        utf16 += {c, '\0'};
    EXPECT_EQ(pageLanguage(utf16, {Kind::Utf16LE, "", true}).attributes(), " lang=\"he\" dir=\"rtl\"");
    // In ISO-2022-JP the bytes "<p" may be one character: read as bytes, they would hide the html tag after them.
    const PageEncoding iso2022jp{Kind::Icu, "ISO_2022,locale=ja,version=0", false};
    EXPECT_EQ(pageLanguage("\x1B$B<p\x1B(B<html lang=ja>", iso2022jp).attributes(), " lang=\"ja\"");
}

} // namespace
} // namespace quillora::unlock
