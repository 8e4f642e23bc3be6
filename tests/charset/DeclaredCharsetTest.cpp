#include "charset/DeclaredCharset.h"

#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>
#include <string>

namespace quillora::charset {
namespace {

using Source = CharsetSource;

const std::string kKoi8 = "<meta charset=koi8-r>";
const std::string kBody = "<body><p>Hello</p></body></html>";
/// A comment that carries what follows past the first 1024 bytes.
const std::string kLong = "<!-- " + std::string(1100, 'x') + " -->\n";

/// The page's start, padded with text in its body so that what follows starts at byte at.
std::string bodyTextUpTo(std::size_t at) {
    const std::string start = "<html><head><title>t</title></head><body><p>";
    return start + std::string(at - start.size(), 'H');
}

struct DeclaredRow {
    const char* name;
    std::string page;
    std::string declared; // the web name of the set; empty for none
    Source source = Source::Prescan;
};

class DeclaredCharsetRules : public ::testing::TestWithParam<DeclaredRow> {};

// Each page was loaded over http in Chromium and Firefox, both of which took the set given here from it (where
// they differ, the row says so and follows Chromium).
TEST_P(DeclaredCharsetRules, FindTheSetBrowsersTake) {
    const auto& row = GetParam();
    const auto declaration = DeclaredCharset::of(row.page);
    ASSERT_EQ(declaration ? std::string(labelForEncoding(declaration->encoding)) : std::string(), row.declared);
    if (declaration) {
        EXPECT_EQ(declaration->source, row.source);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DeclaredCharsetRules,
    ::testing::Values(
        DeclaredRow{"MetaInHead", "<html><head>" + kKoi8 + "</head>" + kBody, "koi8-r"},
        DeclaredRow{"MetaInTitle", "<html><head><title>" + kKoi8 + "</title></head>" + kBody, ""},
        DeclaredRow{"MetaInScript", "<html><head><script>var s='" + kKoi8 + "';</script></head>" + kBody, ""},
        DeclaredRow{"MetaInStyle", "<html><head><style>/*" + kKoi8 + "*/</style></head>" + kBody, ""},
        DeclaredRow{"MetaInTextarea", "<html><body><textarea>" + kKoi8 + "</textarea>" + kBody, ""},
        DeclaredRow{"MetaInComment", "<html><head><!-- " + kKoi8 + " --></head>" + kBody, ""},
        DeclaredRow{"MetaAfterCommentClosedByBang", "<html><head><!-- a --!> " + kKoi8 + "</head>" + kBody, "koi8-r"},
        DeclaredRow{"MetaAfterEmptyComment", "<html><head><!--> " + kKoi8 + "</head>" + kBody, "koi8-r"},
        DeclaredRow{"MetaInBogusComment", "<html><head><?php " + kKoi8 + " ?></head>" + kBody, ""},
        DeclaredRow{"MetaInCdata", "<html><head><![CDATA[ " + kKoi8 + " ]]></head>" + kBody, ""},
        DeclaredRow{"MetaInAttribute", "<html><body><div title=\"" + kKoi8 + "\">" + kBody, ""},
        DeclaredRow{"EndTagMeta", "<html><head></meta charset=koi8-r></head>" + kBody, ""},
        DeclaredRow{"Description", "<html><head><meta name=description content=\"charset=koi8-r\"></head>" + kBody, ""},
        DeclaredRow{"ContentWithoutPragma", "<html><head><meta content=\"text/html; charset=koi8-r\"></head>" + kBody,
                    ""},
        DeclaredRow{"Pragma",
                    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"></head>" +
                        kBody,
                    "koi8-r"},
        DeclaredRow{"Utf16MeansUtf8", "<html><head><meta charset=\"utf-16\"></head>" + kBody, "utf-8"},
        DeclaredRow{"UnknownThenKnown", "<html><head><meta charset=bogus>" + kKoi8 + "</head>" + kBody, "koi8-r"},
        DeclaredRow{"MetaInTemplate", "<html><head><template>" + kKoi8 + "</template></head>" + kBody, "koi8-r"},
        // Firefox reads noscript as text and finds nothing there.
        DeclaredRow{"MetaInNoscript", "<html><head><noscript>" + kKoi8 + "</noscript></head>" + kBody, "koi8-r"},
        DeclaredRow{"MetaInBody", "<html><head><title>t</title></head><body><p>Hi</p>" + kKoi8 + kBody, "koi8-r"},
        DeclaredRow{"BodyMetaStartingAtByte1023", bodyTextUpTo(1023) + kKoi8 + kBody, "koi8-r"},
        DeclaredRow{"BodyMetaStartingAtByte1024", bodyTextUpTo(1024) + kKoi8 + kBody, ""},
        DeclaredRow{"BodyMetaEndingPastByte1024",
                    bodyTextUpTo(1004) + "<meta name=aaaaaaaaaaaaaaaaaaaaaaaa charset=koi8-r>" + kBody, "koi8-r"},
        DeclaredRow{"LateMetaInHead", "<html><head>" + kLong + kKoi8 + "</head>" + kBody, "koi8-r", Source::HeadMeta},
        DeclaredRow{"LateMetaAfterLongScript",
                    "<html><head><script>/*" + std::string(1100, 'y') + "*/</script>" + kKoi8 + "</head>" + kBody,
                    "koi8-r", Source::HeadMeta},
        DeclaredRow{"LateMetaAfterLinksAndText",
                    "<html><head><link rel=x><base href=/>" + kLong + "Hello" + kKoi8 + "</head>" + kBody, "koi8-r",
                    Source::HeadMeta},
        // Firefox stops at object.
        DeclaredRow{"LateMetaAfterObject", "<html><head>" + kLong + "<object></object>" + kKoi8 + "</head>" + kBody,
                    "koi8-r", Source::HeadMeta},
        DeclaredRow{"LateMetaWithoutHeadTag", "<title>t</title>" + kLong + kKoi8 + "<p>Hello</p>", "koi8-r",
                    Source::HeadMeta},
        DeclaredRow{"LatePragmaInHead",
                    "<html><head>" + kLong +
                        "<meta http-equiv=content-type content=\"text/html; charset=koi8-r\"></head>" + kBody,
                    "koi8-r", Source::HeadMeta},
        DeclaredRow{"LateMetaAfterHeadEnd", "<html><head><title>t</title></head>" + kLong + kKoi8 + kBody, ""},
        DeclaredRow{"LateMetaInBody", "<html><head><title>t</title></head><body>" + kLong + kKoi8 + kBody, ""},
        DeclaredRow{"LateMetaInTemplate", "<html><head>" + kLong + "<template>" + kKoi8 + "</template></head>" + kBody,
                    ""},
        // Firefox still takes these three.
        DeclaredRow{"LateMetaAfterEndTag", "<html><head>" + kLong + "</p>" + kKoi8 + "</head>" + kBody, ""},
        DeclaredRow{"LateMetaAfterBasefont", "<html><head>" + kLong + "<basefont>" + kKoi8 + "</head>" + kBody, ""},
        DeclaredRow{"LateMetaAfterNoframes",
                    "<html><head>" + kLong + "<noframes>x</noframes>" + kKoi8 + "</head>" + kBody, ""},
        DeclaredRow{"FirstOfTwoLateMetas",
                    "<html><head>" + kLong + kKoi8 + "<meta charset=windows-1251></head>" + kBody, "koi8-r",
                    Source::HeadMeta},
        DeclaredRow{"EarlyBeatsLate", "<html><head><meta charset=windows-1251>" + kLong + kKoi8 + "</head>" + kBody,
                    "windows-1251"},
        DeclaredRow{"XmlDeclaration", "<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<html>" + kBody, "koi8-r",
                    Source::XmlDeclaration},
        DeclaredRow{"XmlDeclarationLosesToMeta",
                    "<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<html><head><meta charset=windows-1251></head>" +
                        kBody,
                    "windows-1251"},
        DeclaredRow{"XmlDeclarationLosesToLateMeta",
                    "<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<html><head>" + kLong +
                        "<meta charset=windows-1251></head>" + kBody,
                    "windows-1251", Source::HeadMeta},
        DeclaredRow{"XmlDeclarationNotFirst", "\n<?xml version=\"1.0\" encoding=\"koi8-r\"?>\n<html>" + kBody, ""},
        DeclaredRow{"Utf8ByteOrderMark", "\xEF\xBB\xBF" + kKoi8 + kBody, "utf-8", Source::ByteOrderMark},
        DeclaredRow{"Utf16XmlWithoutMark", std::string("<\0?\0x\0m\0l\0", 10), "utf-16le", Source::Utf16XmlDeclaration},
        DeclaredRow{"Utf16BigEndianXmlWithoutMark", std::string("\0<\0?\0x\0m\0l", 10), "utf-16be",
                    Source::Utf16XmlDeclaration},
        DeclaredRow{"NoDeclaration", "<html><head><title>t</title></head>" + kBody, ""}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::charset
