#include "charset/XmlDeclaration.h"

#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>
#include <string>

namespace quillora::charset {
namespace {

struct XmlRow {
    const char* name;
    std::string page;
    std::string declared; // the web name of the set; empty for none
};

class XmlEncoding : public ::testing::TestWithParam<XmlRow> {};

TEST_P(XmlEncoding, IsTakenAsBrowsersTakeIt) {
    const auto encoding = XmlDeclaration::encoding(GetParam().page);
    EXPECT_EQ(encoding ? std::string(labelForEncoding(*encoding)) : std::string(), GetParam().declared);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, XmlEncoding,
    ::testing::Values(XmlRow{"DoubleQuotes", "<?xml version=\"1.0\" encoding=\"koi8-r\"?><html>", "koi8-r"},
                      XmlRow{"SingleQuotes", "<?xml version='1.0' encoding='KOI8-R'?>", "koi8-r"},
                      XmlRow{"WithoutVersion", "<?xml encoding=\"koi8-r\"?>", "koi8-r"},
                      XmlRow{"BlanksAroundEquals", "<?xml version=\"1.0\" encoding = \"koi8-r\"?>", "koi8-r"},
                      XmlRow{"KeyInCapitals", "<?xml version=\"1.0\" ENCODING=\"koi8-r\"?>", "koi8-r"},
                      XmlRow{"Utf16MeansUtf8", "<?xml version=\"1.0\" encoding=\"utf-16\"?>", "utf-8"},
                      XmlRow{"DeclarationInCapitals", "<?XML version=\"1.0\" encoding=\"koi8-r\"?>", ""},
                      XmlRow{"NotAtTheFirstByte", " <?xml version=\"1.0\" encoding=\"koi8-r\"?>", ""},
                      XmlRow{"BlankInLabel", "<?xml version=\"1.0\" encoding=\" koi8-r\"?>", ""},
                      XmlRow{"Unquoted", "<?xml version=\"1.0\" encoding=koi8-r?>", ""},
                      XmlRow{"UnclosedQuote", "<?xml version=\"1.0\" encoding=\"koi8-r?>", ""},
                      XmlRow{"EncodingAfterTheDeclaration", "<?xml version=\"1.0\"?><!-- encoding=\"koi8-r\" -->", ""},
                      XmlRow{"NoEnd", "<?xml version=\"1.0\" encoding=\"koi8-r\"", ""},
                      XmlRow{"UnknownLabel", "<?xml version=\"1.0\" encoding=\"klingon\"?>", ""}),
    [](const auto& info) { return info.param.name; });

TEST(XmlDeclaration, Utf16WithoutByteOrderMarkIsKnownByItsFirstCharacters) {
    using namespace std::string_view_literals;
    EXPECT_EQ(XmlDeclaration::utf16("<\0?\0x\0m\0"sv)->kind, PageEncoding::Kind::Utf16LE);
    EXPECT_EQ(XmlDeclaration::utf16("\0<\0?\0x\0m"sv)->kind, PageEncoding::Kind::Utf16BE);
    EXPECT_FALSE(XmlDeclaration::utf16("<?xml"sv));
    EXPECT_FALSE(XmlDeclaration::utf16("<\0h\0t\0"sv));
}

} // namespace
} // namespace quillora::charset
