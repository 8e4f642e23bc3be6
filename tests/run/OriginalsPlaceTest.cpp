#include "run/OriginalsPlace.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

struct Placed {
    const char* name;
    std::vector<SelectionEntry> picked;
    std::string backupFolder;
    std::string page;
    std::string original; // empty: no place
    std::string folder;
};

class OriginalsPlaceTest : public ::testing::TestWithParam<Placed> {};

TEST_P(OriginalsPlaceTest, PutsEachOriginalOutsideEveryPickedFolder) {
    const Placed& placed = GetParam();
    const OriginalsPlace place(placed.picked, placed.backupFolder);
    std::string folder;
    EXPECT_EQ(place.originalOf(placed.page, folder), placed.original);
    if (!placed.original.empty()) {
        EXPECT_EQ(folder, placed.folder);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, OriginalsPlaceTest,
    ::testing::Values(Placed{"APageOfAPickedFolder",
                             {{"/web/site", true}},
                             {},
                             "/web/site/sub/a.htm",
                             "/web/site.originals/sub/a.htm",
                             "/web/site.originals"},
                      Placed{"TheOutermostPickedFolder",
                             {{"/web/site/sub", true}, {"/web/site", true}},
                             {},
                             "/web/site/sub/a.htm",
                             "/web/site.originals/sub/a.htm",
                             "/web/site.originals"},
                      Placed{"APageOnItsOwn",
                             {{"/web/lone/a.htm", false}},
                             {},
                             "/web/lone/a.htm",
                             "/web/lone.originals/a.htm",
                             "/web/lone.originals"},
                      Placed{"AFolderPickedWithATrailingSeparator",
                             {{"/web/site/", true}},
                             {},
                             "/web/site//b.htm",
                             "/web/site.originals/b.htm",
                             "/web/site.originals"},
                      Placed{"StepsUpAndDown",
                             {{"/web/site", true}},
                             {},
                             "/web/site/sub/../c.htm",
                             "/web/site.originals/c.htm",
                             "/web/site.originals"},
                      Placed{"ABackupFolderKeepsTheWholePath",
                             {{"/web/site", true}},
                             "/keep/",
                             "/web/site/a.htm",
                             "/keep/web/site/a.htm",
                             "/keep"},
                      Placed{"AFolderAtTheRootHasNoPlaceBesideIt", {{"/", true}}, {}, "/a.htm", "", ""},
                      Placed{"APageAtTheRootHasNone", {{"/a.htm", false}}, {}, "/a.htm", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OriginalsPlace, ARestoreLooksNearestFirstThenInTheBackupFolder) {
    EXPECT_EQ(OriginalsPlace::candidatesFor("/web/site/sub/a.htm", "/keep"),
              (std::vector<std::string>{"/web/site/sub.originals/a.htm", "/web/site.originals/sub/a.htm",
                                        "/web.originals/site/sub/a.htm", "/keep/web/site/sub/a.htm"}));
    EXPECT_EQ(OriginalsPlace::candidatesFor("/web/a.htm", ""), std::vector<std::string>{"/web.originals/a.htm"});
}

TEST(OriginalsPlace, TheFolderAnOriginalIsKeptIn) {
    EXPECT_EQ(OriginalsPlace::keptFolderOf("/web/site.originals/sub/a.htm", ""), "/web/site.originals");
    EXPECT_EQ(OriginalsPlace::keptFolderOf("/keep/web/site.originals/a.htm", "/keep"), "/keep")
        << "the backup folder first";
    EXPECT_EQ(OriginalsPlace::keptFolderOf("/web/site/a.htm.bak", ""), "");
}

TEST(OriginalsPlace, WithinComparesWholeNames) {
    EXPECT_TRUE(OriginalsPlace::isWithin("/web/site", "/web/site"));
    EXPECT_TRUE(OriginalsPlace::isWithin("/web/site/a", "/web/site"));
    EXPECT_TRUE(OriginalsPlace::isWithin("/anything", "/"));
    EXPECT_FALSE(OriginalsPlace::isWithin("/web/site.originals", "/web/site"));
    EXPECT_FALSE(OriginalsPlace::isWithin("/web", "/web/site"));
}

} // namespace
} // namespace quillora::run
