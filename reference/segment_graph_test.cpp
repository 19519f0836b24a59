#include "segment_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace segmora {
namespace {

cv::Mat_<int> regionsOf(std::vector<int> ids) {
    return cv::Mat_<int>(1, static_cast<int>(ids.size()), ids.data()).clone();
}

struct Merged {
    std::unique_ptr<DisjointSetForest> forest;
    std::vector<GraphEdge> edges;
};

Merged run(int32_t vertices, std::vector<GraphEdge> edges, float threshold, int32_t sizeCap,
           const cv::Mat_<int>& regions) {
    Merged r{nullptr, std::move(edges)};
    r.forest = segmentGraph(vertices, static_cast<int32_t>(r.edges.size()), r.edges.data(),
                            threshold, sizeCap, regions);
    return r;
}

bool together(Merged& r, int x, int y) {
    return r.forest->findRoot(x) == r.forest->findRoot(y);
}

TEST(SortEdges, AscendingWithTiesInConstructionOrderAndNanLast) {
    const float nan = std::nanf("");
    std::vector<GraphEdge> edges;
    const float weights[] = {2, nan, 1, 2, 0, 1, 2, 0};
    for (int i = 0; i < 8; ++i) edges.push_back(GraphEdge{weights[i], i, i + 1});
    sortEdges(edges.data(), 8);
    const int order[] = {4, 7, 2, 5, 0, 3, 6, 1};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(edges[i].a, order[i]) << "position " << i;
}

TEST(SegmentGraph, NoEdgesLeavesSingletons) {
    Merged r = run(5, {}, 500, 20, regionsOf({1, 1, 1, 1, 1}));
    EXPECT_EQ(r.forest->setCount, 5);
}

TEST(SegmentGraph, ThresholdGrowsWithMergeWeightAndEqualityPasses) {
    // Singletons start at threshold 10; after merging at weight 10 the pair's
    // threshold is 10 / 2 + 10 = 15, so an edge of 15 to a fresh singleton
    // still fails that singleton's 10, and an edge of exactly 10 passes both.
    Merged r = run(4, {{10, 0, 1}, {15, 1, 2}, {10.5f, 2, 3}, {10, 3, 1}}, 10, 100,
                   regionsOf({1, 1, 1, 1}));
    EXPECT_TRUE(together(r, 0, 1));
    EXPECT_FALSE(together(r, 1, 2));
    EXPECT_TRUE(together(r, 3, 1));
    EXPECT_EQ(r.forest->setCount, 2);
}

TEST(SegmentGraph, SizeCapIsInclusive) {
    // A chain of weight-0 edges: pairs form first (by order), then a 2 + 2
    // merge fits a cap of 4 but 4 + 1 does not.
    std::vector<GraphEdge> chain = {{0, 0, 1}, {0, 2, 3}, {0, 1, 2}, {0, 3, 4}};
    Merged r = run(5, chain, 500, 4, regionsOf({1, 1, 1, 1, 1}));
    EXPECT_TRUE(together(r, 0, 3));
    EXPECT_FALSE(together(r, 3, 4));
    EXPECT_EQ(r.forest->setCount, 2);
}

TEST(SegmentGraph, DifferentRegionsNeverMerge) {
    Merged r = run(4, {{0, 0, 1}, {0, 1, 2}, {0, 2, 3}}, 500, 100, regionsOf({7, 7, -2, -2}));
    EXPECT_TRUE(together(r, 0, 1));
    EXPECT_FALSE(together(r, 1, 2));
    EXPECT_TRUE(together(r, 2, 3));
}

TEST(SegmentGraph, NanWeightsNeverMergeAndEdgesComeBackSorted) {
    Merged r =
        run(3, {{std::nanf(""), 0, 1}, {3, 1, 2}, {1, 0, 2}}, 500, 100, regionsOf({1, 1, 1}));
    EXPECT_EQ(r.edges[0].weight, 1.0f);
    EXPECT_EQ(r.edges[1].weight, 3.0f);
    EXPECT_TRUE(std::isnan(r.edges[2].weight));
    EXPECT_EQ(r.forest->setCount, 1);  // 0-2 at 1, then 1-2 at 3
}

}  // namespace
}  // namespace segmora
