#include "geometry/lists.h"

#include <gtest/gtest.h>

namespace zalor {
namespace {

TEST(TIList, FirstValueForAKeyIsKept)
{
    TIList map;
    EXPECT_EQ(map.FindOrInsert(17, 5), 5);
    EXPECT_EQ(map.FindOrInsert(17, 9), 5);
    EXPECT_EQ(map.Find(17), 5);
    EXPECT_EQ(map.Find(18), 0);
    EXPECT_FALSE(map.Contains(18));
    map.FindOrInsert(-4, 0);
    EXPECT_TRUE(map.Contains(-4));
    EXPECT_EQ(map.Find(-4), 0);
    map.FindOrInsert(3, 1);
    EXPECT_EQ(map.Count(), 3u);
    EXPECT_EQ(map.Keys(), (std::vector<int32_t>{-4, 3, 17}));
}

TEST(TValMgr, DistinctValuesInOrderOfFirstAddition)
{
    TValMgr set;
    EXPECT_TRUE(set.Add(5));
    EXPECT_TRUE(set.Add(9));
    EXPECT_FALSE(set.Add(9));
    EXPECT_FALSE(set.Add(0));
    EXPECT_TRUE(set.Add(2)); // out of order: from here on looked up
    EXPECT_FALSE(set.Add(5));
    EXPECT_FALSE(set.Add(2));
    EXPECT_TRUE(set.Add(7));
    EXPECT_FALSE(set.Add(9));
    EXPECT_EQ(set.Values(), (std::vector<int32_t>{5, 9, 2, 7}));
    EXPECT_EQ(set.Count(), 4u);
    EXPECT_EQ(set.At(2), 2);
}

TEST(TBList, GroupsInAscendingKeyOrderWithTheirChains)
{
    TBList groups;
    groups.Add(300, 1);
    groups.Add(100, 1);
    groups.Add(300, 4);
    groups.Add(200, 6);
    groups.Add(300, 4);
    ASSERT_EQ(groups.Count(), 3u);
    EXPECT_EQ(groups.At(0).key, 100);
    EXPECT_EQ(groups.At(1).key, 200);
    EXPECT_EQ(groups.At(2).key, 300);
    EXPECT_EQ(groups.At(2).added, 3);
    EXPECT_EQ(groups.At(2).chains.Values(), (std::vector<int32_t>{1, 4}));
    // A group created after enumeration started takes its place in order.
    groups.Add(150, 9);
    EXPECT_EQ(groups.At(1).key, 150);
    ASSERT_NE(groups.Find(200), nullptr);
    EXPECT_EQ(groups.Find(200)->chains.Values(), (std::vector<int32_t>{6}));
    EXPECT_EQ(groups.Find(250), nullptr);
}

} // namespace
} // namespace zalor
