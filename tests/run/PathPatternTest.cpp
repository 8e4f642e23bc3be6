#include "run/PathPattern.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

struct Match {
    const char* pattern;
    const char* path;
    bool isFolder;
    bool matches;
};

class PathPatternMatch : public ::testing::TestWithParam<Match> {};

TEST_P(PathPatternMatch, AsAGitignoreReadsIt) {
    std::string error;
    const auto pattern = PathPattern::compile(GetParam().pattern, error);
    ASSERT_TRUE(pattern) << error;
    EXPECT_EQ(pattern->matches(GetParam().path, GetParam().isFolder), GetParam().matches)
        << GetParam().pattern << " against " << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Globs, PathPatternMatch,
    ::testing::Values(
        // Without a slash: any depth, the name alone.
        Match{"index.html", "index.html", false, true}, Match{"index.html", "blog/index.html", false, true},
        Match{"index.html", "index.htm", false, false}, Match{"*.html", "a/b/c.html", false, true},
        Match{"*.html", "a.html/b.css", false, false},
        // A slash anchors at the root.
        Match{"/index.html", "index.html", false, true}, Match{"/index.html", "blog/index.html", false, false},
        Match{"blog/*.html", "blog/a.html", false, true}, Match{"blog/*.html", "x/blog/a.html", false, false},
        Match{"blog/*.html", "blog/old/a.html", false, false},
        // "*" and "?" stay within a step; "**" spans steps.
        Match{"a/*/c.html", "a/b/c.html", false, true}, Match{"a/*/c.html", "a/b/x/c.html", false, false},
        Match{"a/**/c.html", "a/c.html", false, true}, Match{"a/**/c.html", "a/b/x/c.html", false, true},
        Match{"**/c.html", "c.html", false, true}, Match{"members/**", "members/a/b.html", false, true},
        Match{"members/**", "members", true, false}, Match{"?.html", "a.html", false, true},
        Match{"?.html", "ab.html", false, false}, Match{"*", ".hidden", false, true},
        // Classes and escapes.
        Match{"page[0-9].html", "page7.html", false, true}, Match{"page[0-9].html", "pagex.html", false, false},
        Match{"page[!0-9].html", "pagex.html", false, true}, Match{"page[!0-9].html", "page7.html", false, false},
        Match{"[]]x", "]x", false, true}, Match{"\\*.html", "*.html", false, true},
        Match{"\\*.html", "a.html", false, false}, Match{"a\\ ", "a ", false, true},
        // A trailing slash: folders only; blanks at the end are not part of the pattern.
        Match{"members/", "members", true, true}, Match{"members/", "members", false, false},
        Match{"drafts ", "drafts", false, true}, Match{"*.HTML", "a.html", false, false}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct Bad {
    const char* pattern;
    const char* error;
};

class PathPatternRefusal : public ::testing::TestWithParam<Bad> {};

TEST_P(PathPatternRefusal, SaysWhatToWriteInstead) {
    std::string error;
    EXPECT_FALSE(PathPattern::compile(GetParam().pattern, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PathPatternRefusal,
    ::testing::Values(
        Bad{"", "\"\" names no path: write \"**\" for every path, or remove it"},
        Bad{"!", "\"!\" names no path: write \"**\" for every path, or remove it"},
        Bad{"/", "\"/\" names no path: write \"**\" for every path, or remove it"},
        Bad{"a\\", "\"a\\\" ends in a lone \"\\\": remove it, or write \"\\\\\" to match a \"\\\""},
        Bad{"page[0-9.html", "\"page[0-9.html\" opens a class with \"[\" that is never closed: close it with \"]\", or "
                             "write \"\\[\" to match a \"[\""},
        Bad{"../secret.html", "\"../secret.html\" has a \"..\" step: patterns are relative to the site's root, write "
                              "the path without it"},
        Bad{"a//b", "\"a//b\" has an empty step (\"//\"): write one \"/\""},
        Bad{"a/**b", "\"a/**b\" has \"**\" inside a name: write \"**\" as a whole step (\"a/**/b\") or \"*\" within a "
                     "name"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

PathPatternList listOf(std::initializer_list<const char*> patterns) {
    PathPatternList list;
    std::string error;
    for (const char* pattern : patterns)
        EXPECT_TRUE(list.add(pattern, error)) << error;
    return list;
}

TEST(PathPatternList, TheLastMatchingPatternDecides) {
    const auto list = listOf({"*.html", "!keep.html", "blog/keep.html"});
    EXPECT_TRUE(list.matches("a.html", false));
    EXPECT_FALSE(list.matches("keep.html", false)) << "taken back out";
    EXPECT_TRUE(list.matches("blog/keep.html", false)) << "put in again by a later pattern";
    EXPECT_FALSE(list.matches("style.css", false));
    EXPECT_FALSE(PathPatternList().matches("a.html", false)) << "an empty list matches nothing";
}

TEST(PathPatternList, APathBelowAMatchedFolderIsMatchedWhateverFollows) {
    const auto list = listOf({"drafts/", "!drafts/keep.html"});
    EXPECT_TRUE(list.matches("drafts", true));
    EXPECT_TRUE(list.matches("drafts/a.html", false));
    EXPECT_TRUE(list.matches("drafts/keep.html", false)) << "a folder left out is not looked into";
    EXPECT_TRUE(list.matches("blog/drafts/deep/a.html", false));
    EXPECT_FALSE(list.matches("drafts.html", false)) << "a file named like the folder is not a folder";
    const auto plain = listOf({"members"});
    EXPECT_TRUE(plain.matches("members/a.html", false)) << "without a slash, a folder of the name too";
}

} // namespace
} // namespace quillora::run
