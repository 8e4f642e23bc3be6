#include "charset/CharsetSniffer.h"

#include <gtest/gtest.h>

namespace quillora::charset {
namespace {

struct LabelCase {
    const char* name;
    std::string page;
    std::string_view label;
};

class DeclaredLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(DeclaredLabel, FindsTheFirstCharsetInsideAMetaTag) {
    EXPECT_EQ(CharsetSniffer::declaredLabel(GetParam().page), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DeclaredLabel,
    ::testing::Values(LabelCase{"MetaCharset", "<html><head><meta charset=\"utf-8\"></head>", "utf-8"},
                      LabelCase{"HttpEquiv", "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CharSet=EUC-KR\">",
                                "EUC-KR"},
                      LabelCase{"BlanksAroundEquals", "<meta charset \t=\n 'shift_jis'>", "shift_jis"},
                      LabelCase{"Unquoted", "<meta charset=windows-1251>", "windows-1251"},
                      LabelCase{"LabelCharacters", "<meta charset=\"iso_8859-1:1987\">", "iso_8859-1:1987"},
                      LabelCase{"CharsetOutsideMeta", "<p>charset=utf-8</p><title>x</title>", ""},
                      LabelCase{"CharsetWithoutEquals", "<meta name=\"charset\"><meta charset=gbk>", "gbk"},
                      LabelCase{"EmptyValueThenNextMeta", "<meta charset=\"\"><meta charset=big5>", "big5"},
                      LabelCase{"CharsetAfterTagEnd", "<meta name=x> charset=utf-8", ""},
                      LabelCase{"BeyondPrescan", std::string(1100, ' ') + "<meta charset=utf-8>", ""},
                      LabelCase{"EndsInsidePrescan", std::string(1000, ' ') + "<meta charset=utf-8>", "utf-8"},
                      LabelCase{"NoMeta", "<html><body>plain</body></html>", ""}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::charset
