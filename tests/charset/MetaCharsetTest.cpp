#include "charset/MetaCharset.h"

#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace quillora::charset {
namespace {

struct MetaRow {
    const char* name;
    std::string attributes; // what follows "<meta"
    std::string declared;   // the web name of the set declared; empty for none
};

class MetaDeclares : public ::testing::TestWithParam<MetaRow> {};

TEST_P(MetaDeclares, TheSetBrowsersTakeFromIt) {
    const auto encoding = MetaCharset::declared(GetParam().attributes, 0);
    EXPECT_EQ(encoding ? std::string(labelForEncoding(*encoding)) : std::string(), GetParam().declared);
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, MetaDeclares,
    ::testing::Values(
        MetaRow{"Charset", " charset=\"KOI8-R\">", "koi8-r"},
        MetaRow{"CharsetWithBlanksInItsValue", " charset=' koi8-r '>", "koi8-r"},
        MetaRow{"Pragma", " http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">", "koi8-r"},
        MetaRow{"PragmaAfterContent", " content='text/html;charset=koi8-r;x' http-equiv=content-type>", "koi8-r"},
        MetaRow{"QuotedLabelInContent", " http-equiv=content-type content='charset=\"koi8-r\"'>", "koi8-r"},
        MetaRow{"ContentWithoutPragma", " content=\"text/html; charset=koi8-r\">", ""},
        MetaRow{"Description", " name=description content=\"Texts in charset=koi8-r\">", ""},
        MetaRow{"OtherPragma", " http-equiv=refresh content=\"5; charset=koi8-r\">", ""},
        MetaRow{"CharsetBeatsContent", " http-equiv=content-type content=\"charset=windows-1251\" charset=koi8-r>",
                "koi8-r"},
        MetaRow{"UnknownCharsetSilencesContent", " content=\"charset=koi8-r\" charset=bogus http-equiv=content-type>",
                ""},
        MetaRow{"FirstOfTwoCharsets", " charset=koi8-r charset=windows-1251>", "koi8-r"},
        MetaRow{"UnknownLabel", " charset=klingon>", ""}, MetaRow{"EmptyLabel", " charset=\"\">", ""},
        MetaRow{"Utf16MeansUtf8", " charset=utf-16le>", "utf-8"},
        MetaRow{"UserDefinedMeansWindows1252", " charset=x-user-defined>", "windows-1252"},
        MetaRow{"NoCharsetAtAll", " name=viewport content=\"width=device-width\">", ""},
        MetaRow{"TagTheBytesEndInside", " charset=koi8-r", ""}),
    [](const auto& info) { return info.param.name; });

struct ContentRow {
    const char* name;
    std::string content;
    std::optional<std::string> label;
};

class ContentLabel : public ::testing::TestWithParam<ContentRow> {};

TEST_P(ContentLabel, IsExtractedAsTheStandardSays) {
    const auto label = MetaCharset::labelInContent(GetParam().content);
    EXPECT_EQ(label ? std::optional<std::string>(*label) : std::nullopt, GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(Contents, ContentLabel,
                         ::testing::Values(ContentRow{"Plain", "text/html; charset=koi8-r", "koi8-r"},
                                           ContentRow{"EndsAtSemicolon", "text/html;charset=koi8-r;level=1", "koi8-r"},
                                           ContentRow{"EndsAtBlank", "charset=koi8-r more", "koi8-r"},
                                           ContentRow{"BlanksAroundEquals", "charset \t= koi8-r", "koi8-r"},
                                           ContentRow{"DoubleQuoted", "charset=\"koi 8\"", "koi 8"},
                                           ContentRow{"SingleQuoted", "charset='koi8-r'x", "koi8-r"},
                                           ContentRow{"UnclosedQuote", "charset=\"koi8-r", std::nullopt},
                                           ContentRow{"NothingAfterEquals", "charset=", std::nullopt},
                                           ContentRow{"WordWithoutEquals", "charsets; charset=koi8-r", "koi8-r"},
                                           ContentRow{"NoCharset", "text/html", std::nullopt}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::charset
