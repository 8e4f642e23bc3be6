#include "run/FileList.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

TEST(NextFileIndex, StartsAtOneAndGrowsTwentySlotsAtATime) {
    FileList list;
    EXPECT_EQ(list.upperBound(), 0);
    EXPECT_EQ(NextFileIndex(list), 1);
    EXPECT_EQ(list.upperBound(), 20);
    for (int i = 2; i <= 20; ++i)
        EXPECT_EQ(NextFileIndex(list), i);
    EXPECT_EQ(list.upperBound(), 20);
    EXPECT_EQ(NextFileIndex(list), 21);
    EXPECT_EQ(list.upperBound(), 40);
    EXPECT_EQ(list.FileCount, 21);
}

TEST(NextFileIndex, KeepsEntriesWhenGrowing) {
    FileList list;
    for (int i = 1; i <= 45; ++i)
        list.slots[static_cast<std::size_t>(NextFileIndex(list))].Name = std::to_string(i);
    EXPECT_EQ(list.upperBound(), 60);
    EXPECT_TRUE(list.slots[0].Name.empty());
    for (int i = 1; i <= 45; ++i)
        EXPECT_EQ(list.slots[static_cast<std::size_t>(i)].Name, std::to_string(i));
    EXPECT_TRUE(list.slots[46].Name.empty());
}

} // namespace
} // namespace quillora::run
