#include "run/EncodingLabels.h"

#include <gtest/gtest.h>

namespace quillora::run {
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

} // namespace
} // namespace quillora::run
