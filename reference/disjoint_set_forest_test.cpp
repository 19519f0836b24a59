#include "disjoint_set_forest.h"

#include <gtest/gtest.h>

namespace segmora {
namespace {

TEST(DisjointSetForest, StartsAsSingletons) {
    DisjointSetForest forest(4);
    EXPECT_EQ(forest.setCount, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(forest.findRoot(i), i);
        EXPECT_EQ(forest.sizeOf(i), 1);
        EXPECT_EQ(forest.element(i).rank, 0);
    }
    EXPECT_EQ(DisjointSetForest(0).setCount, 0);
}

TEST(DisjointSetForest, FindRootRepointsOnlyTheQueriedElement) {
    DisjointSetForest forest(4);  // chain 0 -> 1 -> 2 -> 3
    for (int i = 0; i < 3; ++i) forest.element(i).parent = i + 1;
    EXPECT_EQ(forest.findRoot(0), 3);
    EXPECT_EQ(forest.element(0).parent, 3);
    EXPECT_EQ(forest.element(1).parent, 2);
    EXPECT_EQ(forest.element(2).parent, 3);
    EXPECT_EQ(forest.findRoot(3), 3);
    EXPECT_EQ(forest.element(3).parent, 3);
}

TEST(DisjointSetForest, UnionByRankWithSecondRootWinningTies) {
    DisjointSetForest forest(2);
    forest.uniteRoots(0, 1);
    EXPECT_EQ(forest.element(0).parent, 1);
    EXPECT_EQ(forest.element(1).rank, 1);
    EXPECT_EQ(forest.sizeOf(1), 2);
    EXPECT_EQ(forest.setCount, 1);

    struct Case {
        int rankX, rankY, survivor, survivorRank;
    };
    for (const Case& c : {Case{2, 1, 0, 2}, Case{1, 2, 1, 2}, Case{1, 1, 1, 2}}) {
        DisjointSetForest f(2);
        f.element(0) = SetElement{c.rankX, 0, 3};
        f.element(1) = SetElement{c.rankY, 1, 4};
        f.uniteRoots(0, 1);
        EXPECT_EQ(f.findRoot(0), c.survivor);
        EXPECT_EQ(f.findRoot(1), c.survivor);
        EXPECT_EQ(f.element(c.survivor).rank, c.survivorRank);
        EXPECT_EQ(f.sizeOf(c.survivor), 7);
        EXPECT_EQ(f.setCount, 1);
    }
}

}  // namespace
}  // namespace segmora
