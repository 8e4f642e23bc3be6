#include "run/SiteFileRules.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

struct Name {
    const char* name;
    bool leftOutFolder;
    bool leftover;
    bool leftOutFile;
    bool pageText;
};

class SiteFileRules : public ::testing::TestWithParam<Name> {};

TEST_P(SiteFileRules, SortEachNameWhateverItsLetterCase) {
    const Name& name = GetParam();
    EXPECT_EQ(IsLeftOutFolderName(name.name), name.leftOutFolder);
    EXPECT_EQ(IsLeftoverName(name.name), name.leftover);
    EXPECT_EQ(IsLeftOutFileName(name.name), name.leftOutFile);
    EXPECT_EQ(CarriesPageText(name.name), name.pageText);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SiteFileRules,
    ::testing::Values(
        // name                    folder  leftover leftOut pageText
        Name{".git", true, false, true, false}, Name{".GIT", true, false, true, false},
        Name{".svn", true, false, false, false}, Name{"CVS", true, false, false, false},
        Name{"_darcs", true, false, false, false}, Name{".hg", true, false, false, false},
        Name{"site.originals", true, false, false, false}, Name{"Site.ORIGINALS", true, false, false, false},
        Name{".originals", false, false, false, false}, Name{".github", false, false, false, false},
        Name{"index.html~", false, true, true, false}, Name{".index.html.swp", false, true, true, false},
        Name{".index.html.SWO", false, true, true, false}, Name{"index.swp", false, false, false, false},
        Name{"index.html.orig", false, true, true, false}, Name{"INDEX.HTML.BAK", false, true, true, false},
        Name{"notes.bak", false, true, true, false}, Name{"a.rej", false, true, true, false},
        Name{"#index.html#", false, true, true, false}, Name{".#notes.md", false, true, true, true},
        Name{"#", false, false, false, false}, Name{"site.quillora-key", false, false, true, false},
        Name{"Quillora.toml", false, false, true, false}, Name{"INDEX.HTM", false, false, false, true},
        Name{"a.Html", false, false, false, true}, Name{"page.xhtml", false, false, false, true},
        Name{"page.shtml", false, false, false, true}, Name{"page.XHT", false, false, false, true},
        Name{"README.md", false, false, false, true}, Name{"post.markdown", false, false, false, true},
        Name{"doc.rst", false, false, false, true}, Name{"doc.adoc", false, false, false, true},
        Name{"search_index.json", false, false, false, true}, Name{"Search-Index.json", false, false, false, true},
        Name{"searchindex.js", false, false, false, true}, Name{"index.json", false, false, false, true},
        Name{"sitemap.xml", false, false, false, true}, Name{"feed.xml", false, false, false, true},
        Name{"RSS.XML", false, false, false, true}, Name{"atom.xml", false, false, false, true},
        Name{"index.xml", false, false, false, true}, Name{"news.rss", false, false, false, true},
        Name{"style.css", false, false, false, false}, Name{"search.js", false, false, false, false},
        Name{"data.json", false, false, false, false}, Name{"logo.png", false, false, false, false},
        Name{".md", false, false, false, false}));

TEST(IsPickedPageName, TakesHtmAndHtmlInAnyLetterCase) {
    for (const char* name : {"a.htm", "A.HTM", "b.Html", ".htm", "x.y.html"})
        EXPECT_TRUE(IsPickedPageName(name)) << name;
    for (const char* name : {"style.css", "logo.png", "a.htm.bak", "a.xhtml", "a.shtml", "htm", "a.htmx"})
        EXPECT_FALSE(IsPickedPageName(name)) << name;
}

} // namespace
} // namespace quillora::run
