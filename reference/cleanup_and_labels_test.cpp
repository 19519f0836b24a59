#include "cleanup_and_labels.h"

#include <gtest/gtest.h>

#include <vector>

namespace segmora {
namespace {

// Unites the elements of each group into one set, in order.
void group(DisjointSetForest& forest, const std::vector<std::vector<int>>& groups) {
    for (const auto& members : groups) {
        for (size_t i = 1; i < members.size(); ++i) {
            forest.uniteRoots(forest.findRoot(members[0]), forest.findRoot(members[i]));
        }
    }
}

TEST(MergeSmallSegments, SmallSegmentJoinsAcrossItsLightestEdge) {
    // Segments: P = {0..4}, S = {5, 6, 7} (small), Q = {8..12}.
    DisjointSetForest forest(13);
    group(forest, {{0, 1, 2, 3, 4}, {5, 6, 7}, {8, 9, 10, 11, 12}});
    const std::vector<GraphEdge> sorted = {{1, 5, 4}, {2, 7, 8}, {3, 4, 8}};
    mergeSmallSegments(forest, 3, sorted.data(), 5);
    EXPECT_EQ(forest.findRoot(5), forest.findRoot(0));
    EXPECT_NE(forest.findRoot(5), forest.findRoot(8));  // P grew to 8: no more merging
    EXPECT_EQ(forest.setCount, 2);
}

TEST(MergeSmallSegments, SizesAreReadWhenEachEdgeIsVisited) {
    // Four singletons in a row: 0+1, then {0,1}+2, then {0,1,2}+3; the cap
    // and regions play no part, and one pass is enough.
    DisjointSetForest forest(4);
    const std::vector<GraphEdge> sorted = {{0, 0, 1}, {5, 1, 2}, {9, 2, 3}};
    mergeSmallSegments(forest, 3, sorted.data(), 5);
    EXPECT_EQ(forest.setCount, 1);
}

TEST(AssignLabels, RasterOrderOfFirstPixels) {
    // 2 x 3 image:  A B B / C A B, roots chosen away from the first pixels.
    DisjointSetForest forest(6);
    group(forest, {{4, 0}, {5, 1, 2}});
    cv::Mat_<int> labels(2, 3);
    assignLabels(forest, 2, 3, labels);
    const int expected[2][3] = {{1, 2, 2}, {3, 1, 2}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(labels(y, x), expected[y][x]) << y << "," << x;
    }
}

}  // namespace
}  // namespace segmora
