// The counting sort of the edges, and the vectorised weights it reads, against
// the reference graph sorted stably and against the sorted keys, on images
// made to hurt: long runs of equal weights, one colour, stripes, noise, single
// rows and columns, NaN and infinite samples, blocks split between threads.
#include "counted_edges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "block_pool.h"
#include "key_sort.h"
#include "grid_edges.h"
#include "edge_weights.h"
#include "pixel_graph.h"
#include "segment_graph.h"
#include "weight_ids.h"

namespace segmora {
namespace {

BlockPool pool;  // outlives every image of these tests

// Three channel images whose sample i of channel c is value(c, i).
struct Channels {
    Channels(int32_t w, int32_t h, const std::function<float(int, int64_t)>& value) : w(w), h(h) {
        for (int c = 0; c < 3; ++c) {
            images.push_back(std::make_unique<ChannelImage>(pool, w, h, false));
            for (int64_t i = 0; i < int64_t{w} * h; ++i) images[c]->data[i] = value(c, i);
            planes.planes[c] = images[c]->data;
        }
    }
    int32_t w, h;
    std::vector<std::unique_ptr<ChannelImage>> images;
    PixelChannels planes;
};

// The edges sorted by counting on `threads` threads; false when too many weights are
// distinct. Every call reuses the weight tables the calls before it left, as a Segmenter's
// calls do, with their different images, thread counts and full tables.
bool countedOrder(const Channels& c, int threads, std::vector<uint32_t>& placed,
                  std::vector<WeightRun>& runs,
                  int64_t mostBlockEdges = kMostCountedBlockEdges) {
    static std::vector<WeightIds> keptTables;
    std::vector<uint16_t> ids(static_cast<size_t>(edgeCountFor(c.w, c.h)));
    CountedEdges counted;
    if (!countEdges(c.planes, c.w, c.h, threads, ids.data(), counted, keptTables,
                    mostBlockEdges)) {
        return false;
    }
    placed.assign(ids.size(), 0xffffffffu);
    placeCountedEdges(ids.data(), counted, placed.data());
    runs = counted.runs;
    return true;
}

// Checks the counted order against the reference edges, sorted stably.
void expectReferenceOrder(const Channels& c, int threads) {
    std::vector<GraphEdge> edges(static_cast<size_t>(4) * c.w * c.h);
    const int32_t edgeCount = buildEdges(*c.images[0], *c.images[1], *c.images[2], edges.data());
    sortEdges(edges.data(), edgeCount);
    std::vector<uint32_t> placed;
    std::vector<WeightRun> runs;
    ASSERT_TRUE(countedOrder(c, threads, placed, runs)) << c.w << "x" << c.h;
    ASSERT_EQ(static_cast<int64_t>(placed.size()), edgeCount);
    const NeighbourOffsets neighbours(c.w);
    size_t run = 0;
    for (int32_t i = 0; i < edgeCount; ++i) {
        while (runs[run].end <= static_cast<uint32_t>(i)) ++run;
        ASSERT_EQ(edgeFirstVertex(placed[i]), edges[i].a) << c.w << "x" << c.h << " at " << i;
        ASSERT_EQ(edgeSecondVertex(placed[i], neighbours), edges[i].b);
        ASSERT_EQ(weightBits(runs[run].weight), weightBits(edges[i].weight));
    }
    EXPECT_EQ(runs.empty() ? 0 : runs.back().end, static_cast<uint32_t>(edgeCount));
    for (size_t r = 1; r < runs.size(); ++r) {
        EXPECT_LT(weightBits(runs[r - 1].weight), weightBits(runs[r].weight));
    }
}

TEST(CountedEdges, MatchTheReferenceOnAdversarialImages) {
    std::mt19937 rng(3);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<const char*, std::function<float(int, int64_t)>>> images = {
        {"one colour", [](int c, int64_t) { return 17.5f * c; }},
        {"few levels", [&](int, int64_t) { return float(rng() % 3) * 0.3f; }},
        {"noise", [&](int c, int64_t) { return float(rng() % 256) * (c == 0 ? 0.3f : 1.0f); }},
        {"vertical stripes", [](int c, int64_t i) { return float((i % 7) / 2 * (c + 1)); }},
        {"horizontal stripes", [](int, int64_t i) { return float((i / 13) % 2) * 255.0f; }},
        {"non-finite",
         [&](int, int64_t) {
             const uint32_t r = rng() % 40;
             return r == 0 ? nan : r == 1 ? inf : r == 2 ? -inf : float(r % 4);
         }},
        {"tiny and huge",
         [&](int, int64_t) {
             return rng() % 2 ? std::numeric_limits<float>::denorm_min() * float(rng() % 5)
                              : 3e38f * float(rng() % 3);
         }},
    };
    for (const auto& [name, value] : images) {
        SCOPED_TRACE(name);
        for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 2},
                            std::pair{5, 3}, std::pair{23, 17}, std::pair{64, 40}}) {
            expectReferenceOrder(Channels(w, h, value), 1);
        }
    }
}

// The edges sorted by their keys, stably.
std::vector<EdgeKey> sortedKeys(const Channels& c) {
    const int64_t count = edgeCountFor(c.w, c.h);
    std::vector<EdgeKey> keys(count), scratch(count);
    buildEdgeKeys(c.planes, c.w, c.h, keys.data(), 2);
    const EdgeKey* sorted = sortEdgeKeys(keys.data(), scratch.data(), count, 2);
    return std::vector<EdgeKey>(sorted, sorted + count);
}

// Checks the counted order, on `threads` threads in blocks of at most `mostBlockEdges`,
// against the sorted keys.
void expectKeyOrder(const Channels& c, const std::vector<EdgeKey>& expected, int threads,
                    int64_t mostBlockEdges, std::vector<WeightRun>& runs) {
    std::vector<uint32_t> placed;
    ASSERT_TRUE(countedOrder(c, threads, placed, runs, mostBlockEdges));
    size_t run = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        while (runs[run].end <= i) ++run;
        ASSERT_EQ(placed[i], keyEdge(expected[i])) << threads << " threads, edge " << i;
        ASSERT_EQ(makeEdgeKey(runs[run].weight, 0) >> 32, expected[i] >> 32);
    }
    EXPECT_EQ(runs.back().end, expected.size());
}

TEST(CountedEdges, EqualSortedKeysOnAnyThreadCount) {
    std::mt19937 rng(13);
    const int32_t w = 1100, h = 1000;  // large enough to be cut into blocks
    Channels c(w, h, [&](int, int64_t) {
        return rng() % 50 == 0 ? std::nanf("") : static_cast<float>(rng() % 4) * 0.3f;
    });
    const int64_t count = edgeCountFor(w, h);
    const std::vector<EdgeKey> expected = sortedKeys(c);
    std::vector<WeightRun> runs;
    // One block a thread, and many blocks a thread (of 23 rows or one).
    for (int64_t most : {kMostCountedBlockEdges, int64_t{100000}, int64_t{1}}) {
        for (int threads : {1, 2, 5}) expectKeyOrder(c, expected, threads, most, runs);
    }
    // Splitting the sorted keys gives the same edges and runs.
    std::vector<EdgeKey> sorted = expected;
    std::vector<WeightRun> split(count);
    split.resize(splitSortedKeys(sorted.data(), count, split.data()));
    ASSERT_EQ(split.size(), runs.size());
    for (size_t r = 0; r < runs.size(); ++r) {
        EXPECT_EQ(split[r].end, runs[r].end);
        EXPECT_EQ(makeEdgeKey(split[r].weight, 0), makeEdgeKey(runs[r].weight, 0));
    }
    const uint32_t* edges = reinterpret_cast<const uint32_t*>(sorted.data());
    for (int64_t i = 0; i < count; ++i) ASSERT_EQ(edges[i], keyEdge(expected[i]));
}

TEST(CountedEdges, SmallerBlocksCountWhatOneBlockCannot) {
    // Each row's weights are scaled apart from the next rows': few distinct in a band of
    // rows, too many in the whole image.
    const int32_t w = 600, h = 1000;
    const Channels c(w, h, [&](int c, int64_t i) {
        return c == 0 ? std::exp2(static_cast<float>(i / w) * 0.01f) * static_cast<float>(i % 61)
                      : 0.0f;
    });
    std::vector<uint32_t> placed;
    std::vector<WeightRun> runs;
    EXPECT_FALSE(countedOrder(c, 1, placed, runs));
    const std::vector<EdgeKey> expected = sortedKeys(c);
    for (int threads : {1, 2}) expectKeyOrder(c, expected, threads, 1 << 16, runs);
    EXPECT_GT(runs.size(), size_t{WeightIds::kMaxIds});
}

TEST(CountedEdges, RefuseTooManyDistinctWeights) {
    std::mt19937 rng(13);
    // Weights of every magnitude: too many to count, in one block or several.
    const Channels c(1100, 1000, [&](int c, int64_t) {
        return c == 0 ? std::exp2(float(rng() % 20000) / 100) : 0.0f;
    });
    std::vector<uint32_t> placed;
    std::vector<WeightRun> runs;
    EXPECT_FALSE(countedOrder(c, 1, placed, runs));
    EXPECT_FALSE(countedOrder(c, 2, placed, runs));
}

TEST(EdgeWeights, RowWeightsHaveTheBitsOfEachDistance) {
    // Widths around the vector length leave every kind of tail; the samples
    // include NaN, infinities, denormals and negative zero.
    std::mt19937 rng(21);
    const float oddities[] = {std::nanf(""), INFINITY, -INFINITY, 1e-45f, -0.0f, 3e38f, 0.1f};
    for (int32_t w = 1; w <= 19; ++w) {
        const int32_t h = 4;
        const Channels c(w, h, [&](int, int64_t) {
            return rng() % 8 == 0 ? oddities[rng() % 7] : float(int(rng() % 2001) - 1000) / 7.0f;
        });
        for (int32_t y = 0; y < h; ++y) {
            const RowEdges row(w, h, y);
            std::vector<float> weights(static_cast<size_t>(row.count()));
            rowEdgeWeights(c.planes, row, weights.data());
            const NeighbourOffsets neighbours(w);
            int64_t i = 0;
            visitInConstructionOrder(row, weights.data(), [&](float weight, uint32_t edge) {
                const float plain = pixelDistance(c.planes, edgeFirstVertex(edge),
                                                  edgeSecondVertex(edge, neighbours));
                EXPECT_EQ(weightBits(weight), weightBits(plain)) << w << " wide, row " << y;
                EXPECT_EQ(edgeFirstVertex(edge) / w, y);
                ++i;
            });
            EXPECT_EQ(i, edgesBeforeRow(w, h, y + 1) - edgesBeforeRow(w, h, y));
        }
    }
}

TEST(WeightIds, NumberWeightsInFirstSeenOrderAndStopAtTheLimit) {
    WeightIds ids;
    EXPECT_EQ(ids.count(weightBits(2.5f)), 0u);
    EXPECT_EQ(ids.count(weightBits(0.0f)), 1u);
    EXPECT_EQ(ids.count(weightBits(2.5f)), 0u);
    EXPECT_EQ(ids.count(weightBits(std::nanf(""))), 2u);
    EXPECT_EQ(ids.count(weightBits(-std::nanf(""))), 2u);  // every NaN is one weight
    // Growing the table keeps every id.
    for (uint32_t i = 3; i < WeightIds::kMaxIds; ++i) ASSERT_EQ(ids.count(1000 + i), i);
    EXPECT_EQ(ids.count(weightBits(2.5f)), 0u);
    EXPECT_EQ(ids.count(1000 + 77), 77u);
    EXPECT_EQ(ids.count(7), WeightIds::kFull);
    EXPECT_EQ(ids.weights().size(), WeightIds::kMaxIds);
    EXPECT_EQ(ids.edgeCounts()[0], 3u);
    EXPECT_EQ(ids.edgeCounts()[2], 2u);
    EXPECT_EQ(ids.edgeCounts()[77], 2u);
    EXPECT_EQ(ids.weights()[1], weightBits(0.0f));
}

}  // namespace
}  // namespace segmora
