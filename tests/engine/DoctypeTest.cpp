#include "engine/Doctype.h"

#include <gtest/gtest.h>

namespace quillora::engine {
namespace {

// What stands before "<!DOCTYPE html>", and whether Chromium and Firefox still take the page's DOCTYPE (standards
// mode) or see none (quirks mode), as tests/browser/doctype.mjs finds in both.
struct DoctypeCase {
    const char* name;
    std::u16string_view before;
    bool found;
};

class LeadingDoctype : public ::testing::TestWithParam<DoctypeCase> {};

TEST_P(LeadingDoctype, IsFoundAsBrowsersFindIt) {
    const std::u16string page = std::u16string(GetParam().before) + u"<!DOCTYPE html><html><body>x</body></html>";
    const std::string bytes(page.begin(), page.end());
    const DoctypeSpan units = leadingDoctype(std::u16string_view(page));
    const DoctypeSpan inBytes = leadingDoctype(std::string_view(bytes));
    if (GetParam().found) {
        EXPECT_EQ(units.begin, GetParam().before.size());
        EXPECT_EQ(units.end, GetParam().before.size() + 15);
    } else {
        EXPECT_EQ(units.begin, kNotFound);
        EXPECT_EQ(units.end, 0u);
    }
    EXPECT_EQ(inBytes.begin, units.begin);
    EXPECT_EQ(inBytes.end, units.end);
    EXPECT_EQ(leadingDoctypeLength(std::u16string_view(page)), units.end);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, LeadingDoctype,
    ::testing::Values(DoctypeCase{"Nothing", u"", true}, DoctypeCase{"Blanks", u" \t\r\n", true},
                      DoctypeCase{"FormFeed", u"\f", true},
                      DoctypeCase{"Comment", u"<!-- saved from url=(0014)about:internet -->\n", true},
                      DoctypeCase{"TwoComments", u"<!-- a --> <!-- b -->\n", true},
                      DoctypeCase{"CommentClosedByBang", u"<!-- a --!>", true},
                      DoctypeCase{"AbruptComment", u"<!-->", true}, DoctypeCase{"AbruptCommentDash", u"<!--->", true},
                      DoctypeCase{"DashesInComment", u"<!-- a -- b --->", true},
                      DoctypeCase{"ProcessingInstruction", u"<?xml version=\"1.0\"?>\n", true},
                      DoctypeCase{"BogusBang", u"<!x>", true}, DoctypeCase{"BogusEndTag", u"</ x>", true},
                      DoctypeCase{"EmptyEndTag", u"</>", true}, DoctypeCase{"Nul", std::u16string_view(u"\0", 1), true},
                      DoctypeCase{"Text", u"x", false}, DoctypeCase{"EndTag", u"</p>", false},
                      DoctypeCase{"UnclosedComment", u"<!-- never closed ", false},
                      DoctypeCase{"NoBreakSpace", u"\u00A0", false}, DoctypeCase{"VerticalTab", u"\v", false},
                      DoctypeCase{"Tag", u"<html>", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LeadingDoctype, EndsAtItsFirstGreaterThanAndNeedsOne) {
    // A quoted identifier does not hold a ">": it ends the DOCTYPE, as in a browser.
    EXPECT_EQ(leadingDoctype(std::u16string_view(u"<!doctype HTML PUBLIC \"a>b\"><p>")).end,
              std::u16string_view(u"<!doctype HTML PUBLIC \"a>").size());
    EXPECT_EQ(leadingDoctype(std::u16string_view(u"<!-- c --><!DOCTYPE html")).end, 0u);
    EXPECT_EQ(leadingDoctype(std::u16string_view(u"")).end, 0u);
    EXPECT_EQ(leadingDoctype(std::u16string_view(u"<!-- <!DOCTYPE html> -->x")).end, 0u) << "inside a comment";
}

} // namespace
} // namespace quillora::engine
