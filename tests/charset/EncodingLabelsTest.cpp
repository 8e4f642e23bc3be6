#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

using Kind = PageEncoding::Kind;

struct LabelMeaning {
    std::string_view label;
    Kind kind;
    std::string_view converter;
};

class EncodingLabel : public ::testing::TestWithParam<LabelMeaning> {};

TEST_P(EncodingLabel, MeansWhatBrowsersReadItAs) {
    const auto encoding = encodingForLabel(GetParam().label);
    ASSERT_TRUE(encoding) << GetParam().label;
    EXPECT_EQ(encoding->kind, GetParam().kind);
    EXPECT_EQ(encoding->icuName, GetParam().converter);
    EXPECT_FALSE(encoding->byteOrderMark);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, EncodingLabel,
    ::testing::Values(
        LabelMeaning{"utf-8", Kind::Utf8, ""}, LabelMeaning{"UTF8", Kind::Utf8, ""},
        LabelMeaning{"utf-16", Kind::Utf8, ""}, LabelMeaning{"UTF-16LE", Kind::Utf8, ""},
        LabelMeaning{"iso-8859-1", Kind::Windows1252, ""}, LabelMeaning{"Latin1", Kind::Windows1252, ""},
        LabelMeaning{"US-ASCII", Kind::Windows1252, ""}, LabelMeaning{"ascii", Kind::Windows1252, ""},
        LabelMeaning{"x-user-defined", Kind::Windows1252, ""}, LabelMeaning{"gb2312", Kind::Icu, "windows-936-2000"},
        LabelMeaning{"euc-kr", Kind::Icu, "windows-949-2000"},
        LabelMeaning{"ks_c_5601-1987", Kind::Icu, "windows-949-2000"},
        LabelMeaning{"Shift_JIS", Kind::Icu, "ibm-943_P15A-2003"},
        LabelMeaning{"iso-8859-9", Kind::Icu, "windows-1254"}, LabelMeaning{"tis-620", Kind::Icu, "windows-874-2000"},
        LabelMeaning{"koi8-r", Kind::Icu, "KOI8-R"}, LabelMeaning{"big5-hkscs", Kind::Icu, "windows-950-2000"}));

TEST(EncodingLabel, UnknownAndRefusedLabelsMeanNoDeclaration) {
    for (const std::string_view label : {"", "klingon", "utf-7", "iso-2022-kr", "replacement", "hz-gb-2312", "utf-8 ",
                                         "a-very-long-label-that-no-standard-knows-of"})
        EXPECT_FALSE(encodingForLabel(label)) << label;
}

class EncodingName : public ::testing::TestWithParam<std::string_view> {};

// The name a page's set is written under (for the browser's TextDecoder) must mean that set again.
TEST_P(EncodingName, MeansTheSetItNames) {
    const auto encoding = encodingForLabel(GetParam());
    ASSERT_TRUE(encoding) << GetParam();
    const std::string_view name = labelForEncoding(*encoding);
    EXPECT_EQ(encodingForLabel(name), encoding) << GetParam() << " -> " << name;
}

INSTANTIATE_TEST_SUITE_P(Labels, EncodingName,
                         ::testing::Values("utf8", "latin1", "cp866", "l2", "iso8859-3", "latin4", "cyrillic", "arabic",
                                           "greek", "visual", "iso-8859-8-i", "l6", "iso885913", "iso885914", "l9",
                                           "koi", "koi8-ru", "mac", "x-mac-ukrainian", "tis-620", "cp1250", "cp1251",
                                           "cp1253", "latin5", "cp1255", "cp1256", "cp1257", "cp1258", "gb2312",
                                           "gb18030", "big5-hkscs", "x-euc-jp", "csiso2022jp", "sjis", "korean"));

TEST(EncodingName, IsTheWebsOwnNameOfTheSet) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"sjis", "shift_jis"},
        {"cp1250", "windows-1250"},
        {"mac", "macintosh"},
        {"x-mac-ukrainian", "x-mac-cyrillic"},
        {"gb2312", "gbk"},
        {"korean", "euc-kr"},
        {"tis-620", "windows-874"},
        {"cp866", "ibm866"},
        {"csiso2022jp", "iso-2022-jp"},
        {"latin1", "windows-1252"},
        {"x-euc-jp", "euc-jp"},
        {"big5-hkscs", "big5"},
    };
    for (const auto& [label, name] : cases) {
        const auto encoding = encodingForLabel(label);
        ASSERT_TRUE(encoding) << label;
        EXPECT_EQ(labelForEncoding(*encoding), name) << label;
    }
}

TEST(EncodingName, OfTheSetsReadFromAByteOrderMark) {
    EXPECT_EQ(labelForEncoding({Kind::Utf16LE, "", true}), "utf-16le");
    EXPECT_EQ(labelForEncoding({Kind::Utf16BE, "", true}), "utf-16be");
    EXPECT_EQ(labelForEncoding({Kind::Utf8, "", true}), "utf-8");
    EXPECT_EQ(labelForEncoding({Kind::Windows1252, "", false}), "windows-1252");
    EXPECT_EQ(labelForEncoding({Kind::Icu, "no-such-converter", false}), "windows-1252");
}

} // namespace
} // namespace quillora::charset
