#include "pixel_graph.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "block_pool.h"
#include "grid_edges.h"
#include "reference_rules.h"
#include "segment_merging.h"

namespace segmora {
namespace {

struct Graph {
    std::vector<GraphEdge> edges;
};

// Builds the edges of a width x height image whose three channels hold the
// given per-pixel values (one value per pixel and channel).
Graph graphOf(int32_t width, int32_t height, const std::vector<std::vector<float>>& channels = {}) {
    BlockPool pool;
    ChannelImage c0(pool, width, height, true), c1(pool, width, height, true),
        c2(pool, width, height, true);
    ChannelImage* images[3] = {&c0, &c1, &c2};
    for (size_t c = 0; c < channels.size(); ++c) {
        for (size_t i = 0; i < channels[c].size(); ++i) images[c]->data[i] = channels[c][i];
    }
    Graph graph;
    graph.edges.resize(static_cast<size_t>(4) * width * height);
    graph.edges.resize(static_cast<size_t>(buildEdges(c0, c1, c2, graph.edges.data())));
    return graph;
}

std::vector<std::pair<int, int>> endpoints(const Graph& graph) {
    std::vector<std::pair<int, int>> pairs;
    for (const GraphEdge& e : graph.edges) pairs.emplace_back(e.a, e.b);
    return pairs;
}

TEST(BuildEdges, EdgeOrderOfSmallImages) {
    using Pairs = std::vector<std::pair<int, int>>;
    EXPECT_EQ(endpoints(graphOf(2, 2)), (Pairs{{0, 1}, {0, 2}, {0, 3}, {1, 3}, {2, 3}, {2, 1}}));
    EXPECT_EQ(endpoints(graphOf(3, 2)), (Pairs{{0, 1},
                                               {0, 3},
                                               {0, 4},
                                               {1, 2},
                                               {1, 4},
                                               {1, 5},
                                               {2, 5},
                                               {3, 4},
                                               {3, 1},
                                               {4, 5},
                                               {4, 2}}));
    EXPECT_EQ(endpoints(graphOf(4, 1)), (Pairs{{0, 1}, {1, 2}, {2, 3}}));
    EXPECT_EQ(endpoints(graphOf(1, 3)), (Pairs{{0, 1}, {1, 2}}));
    EXPECT_TRUE(endpoints(graphOf(1, 1)).empty());
}

TEST(BuildEdges, CountsMatchTheClosedForm) {
    for (auto [w, h] : {std::pair{640, 480}, std::pair{7, 3}, std::pair{1, 9}, std::pair{5, 1}}) {
        EXPECT_EQ(static_cast<int64_t>(graphOf(w, h).edges.size()), edgeCountFor(w, h));
    }
    EXPECT_EQ(edgeCountFor(640, 480), 1225442);
    EXPECT_EQ(edgeCountFor(0, 5), 0);
    EXPECT_EQ(edgeCountFor(5, 0), 0);
}

TEST(BuildEdges, WeightIsColourDistanceOverAllThreeChannels) {
    EXPECT_EQ(graphOf(2, 1, {{3, 0}, {4, 0}, {0, 0}}).edges[0].weight, 5.0f);
    for (int c = 0; c < 3; ++c) {
        std::vector<std::vector<float>> channels(3, std::vector<float>{1, 1});
        channels[c][1] = 2;
        EXPECT_EQ(graphOf(2, 1, channels).edges[0].weight, 1.0f) << "channel " << c;
    }
    for (const GraphEdge& e : graphOf(3, 3, {std::vector<float>(9, 7.0f)}).edges) {
        EXPECT_EQ(e.weight, 0.0f);
    }
}

TEST(SizeCap, TruncatesQuotientPlusTwenty) {
    struct Case {
        int32_t vertices, divisor, cap;
    };
    for (const Case& c :
         {Case{640 * 480, 500, 634}, Case{640 * 480, 3000, 122}, Case{100 * 100, 500, 40},
          Case{100 * 100, 3000, 23}, Case{1, 500, 20}, Case{0, 7, 20}}) {
        EXPECT_EQ(sizeCapFor(c.vertices, c.divisor), c.cap) << c.vertices << " / " << c.divisor;
        EXPECT_EQ(referenceSizeCap(c.vertices, c.divisor), c.cap) << "reference";
    }
}

}  // namespace
}  // namespace segmora
