#include "disk/TemporaryNames.h"

#include <gtest/gtest.h>
#include <string>

namespace quillora::disk {
namespace {

TEST(TemporaryNames, ANameProvesEitherOfItsTwoFilesAndNoOther) {
    const std::string name = TemporaryName("index.htm", 1234567, 7654321);
    EXPECT_TRUE(name.starts_with(".index.htm.~"));
    EXPECT_TRUE(name.ends_with("~"));
    EXPECT_TRUE(IsTemporaryName(name));
    EXPECT_TRUE(IsTemporaryNameOf(name, 1234567)) << "the file the name was made for";
    EXPECT_TRUE(IsTemporaryNameOf(name, 7654321)) << "the file it is swapped with";
    for (const std::uint64_t other : {0ull, 1234568ull, 7654320ull, 1ull << 40})
        EXPECT_FALSE(IsTemporaryNameOf(name, other)) << other;
    EXPECT_FALSE(IsTemporaryNameOf(TemporaryName("other.htm", 1234567, 1234567), 7654321));
}

TEST(TemporaryNames, TheSameFileAndHintGiveTheSameNameInEveryRun) {
    // Another process (a later run) must prove what this one left: nothing in the name may depend on the process.
    EXPECT_EQ(TemporaryName("a.htm.bak", 42, 43), TemporaryName("a.htm.bak", 42, 43));
    EXPECT_NE(TemporaryName("a.htm.bak", 42, 43), TemporaryName("a.htm", 42, 43));
    EXPECT_NE(TemporaryName("a.htm", 42, 43), TemporaryName("a.htm", 43, 42));
}

TEST(TemporaryNames, NamesAUserPicksAreNeverProved) {
    const char* const names[] = {
        ".notes.~20240101~",         // a dated note
        ".draft.htm.~backup01~",     // a user's own backup
        ".a.htm.~k1ll3d00k1ll3d00~", // the run's shape, codes made up
        ".a.htm.~0000000000000000~", // likewise
        "a.htm.~abcdefgh12345678~",  // not hidden
        ".a.htm.~ABCDEFGH12345678~", // capitals are no code
        ".a.htm.~abcdefgh12345678",  // unfinished
        "",
        ".~",
    };
    for (const char* name : names) {
        for (const std::uint64_t inode : {0ull, 1ull, 2ull, 12345ull, 0xFFFFFFFFFFFFull})
            EXPECT_FALSE(IsTemporaryNameOf(name, inode)) << name << " " << inode;
    }
    EXPECT_TRUE(IsTemporaryName(".a.htm.~k1ll3d00k1ll3d00~")) << "the shape alone is not enough to remove it";
    EXPECT_FALSE(IsTemporaryName(".notes.~20240101~"));
}

TEST(TemporaryNames, ALongHintLeavesTheNameWithinWhatFileSystemsTake) {
    const std::string hint(255, 'n');
    const std::string name = TemporaryName(hint, 99, 100);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(IsTemporaryNameOf(name, 99));
    EXPECT_TRUE(IsTemporaryNameOf(name, 100));
}

TEST(TemporaryNames, NamesAreNeverPages) {
    for (const char* hint : {"index.htm", "index.html", "a.htm.bak"}) {
        const std::string name = TemporaryName(hint, 7, 7);
        EXPECT_FALSE(name.ends_with(".htm") || name.ends_with(".html") || name.ends_with(".bak")) << name;
    }
}

} // namespace
} // namespace quillora::disk
