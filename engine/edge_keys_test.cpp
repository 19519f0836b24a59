#include "edge_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "block_pool.h"
#include "edge_sort.h"
#include "edge_source.h"
#include "pixel_graph.h"
#include "segment_graph.h"

namespace segmora {
namespace {

BlockPool pool;  // outlives every image of these tests

// Random channels with few levels (many equal weights), some NaN samples.
std::vector<ChannelImage*> randomChannels(std::mt19937& rng, int32_t w, int32_t h, bool withNan) {
    std::vector<ChannelImage*> channels;
    for (int c = 0; c < 3; ++c) {
        auto* image = new ChannelImage(pool, w, h, false);
        for (int64_t i = 0; i < int64_t{w} * h; ++i) {
            image->data[i] = static_cast<float>(rng() % 4) * 0.3f;
            if (withNan && rng() % 50 == 0) image->data[i] = std::nanf("");
        }
        channels.push_back(image);
    }
    return channels;
}

PixelChannels planesOfChannels(const std::vector<ChannelImage*>& channels) {
    PixelChannels planes;
    for (int c = 0; c < 3; ++c) planes.planes[c] = channels[c]->data;
    return planes;
}

TEST(EdgeKeys, SortedKeysMatchStablySortedEdges) {
    std::mt19937 rng(11);
    for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 9}, std::pair{8, 1}, std::pair{2, 2},
                        std::pair{23, 17}, std::pair{64, 40}}) {
        for (bool withNan : {false, true}) {
            std::vector<ChannelImage*> c = randomChannels(rng, w, h, withNan);
            std::vector<GraphEdge> edges(static_cast<size_t>(4) * w * h);
            const int32_t edgeCount = buildEdges(*c[0], *c[1], *c[2], edges.data());
            std::vector<EdgeKey> keys(edges.size()), scratch(edges.size());
            ASSERT_EQ(buildEdgeKeys(planesOfChannels(c), w, h, keys.data(), 2), edgeCount);
            for (ChannelImage* image : c) delete image;

            sortEdges(edges.data(), edgeCount);
            const EdgeKey* sorted = sortEdgeKeys(keys.data(), scratch.data(), edgeCount, 2);
            const NeighbourOffsets neighbours(w);
            for (int32_t i = 0; i < edgeCount; ++i) {
                ASSERT_EQ(keyFirstVertex(sorted[i]), edges[i].a) << w << "x" << h << " at " << i;
                ASSERT_EQ(keySecondVertex(sorted[i], neighbours), edges[i].b);
                const float weight = keyWeight(sorted[i]);
                ASSERT_TRUE(weight == edges[i].weight ||
                            (std::isnan(weight) && std::isnan(edges[i].weight)));
            }
        }
    }
}

TEST(EdgeKeys, SortOrdersFewOrManyDistinctWeightsOnAnyThreadCount) {
    // Few distinct weights (long runs of ties that must keep construction
    // order) and many, each split between one and three threads.
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> magnitude(-30.0f, 30.0f);
    for (int distinct : {7, 5000, 3000000}) {
        for (int threads : {1, 3}) {
            const int count = 3000000;
            std::vector<EdgeKey> keys, scratch(count);
            for (uint32_t i = 0; i < count; ++i) {
                const float weight =
                    distinct < count ? float(rng() % distinct) * 0.37f : std::exp2(magnitude(rng));
                keys.push_back(makeEdgeKey(weight, i));
            }
            keys[17] = makeEdgeKey(0.0f, 17);
            keys[18] = makeEdgeKey(INFINITY, 18);
            keys[19] = makeEdgeKey(std::nanf(""), 19);
            std::vector<EdgeKey> expected = keys;
            std::sort(expected.begin(), expected.end());
            const EdgeKey* sorted = sortEdgeKeys(keys.data(), scratch.data(), count, threads);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sorted))
                << distinct << " distinct, " << threads << " threads";
        }
    }
}

TEST(EdgeKeys, ManyThreadsGiveTheSameKeysAndOrder) {
    // Large enough to be split between threads.
    std::mt19937 rng(9);
    const int32_t w = 1200, h = 900;
    std::vector<ChannelImage*> c = randomChannels(rng, w, h, false);
    const int64_t count = edgeCountFor(w, h);
    std::vector<std::vector<EdgeKey>> results;
    for (int threads : {1, 3, 8}) {
        std::vector<EdgeKey> keys(count), scratch(count);
        ASSERT_EQ(buildEdgeKeys(planesOfChannels(c), w, h, keys.data(), threads), count);
        const EdgeKey* sorted = sortEdgeKeys(keys.data(), scratch.data(), count, threads);
        results.emplace_back(sorted, sorted + count);
    }
    for (ChannelImage* image : c) delete image;
    EXPECT_TRUE(std::is_sorted(results[0].begin(), results[0].end()));
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

TEST(EdgeKeys, KeysPlacedWithoutSortingEqualSortedKeys) {
    std::mt19937 rng(13);
    const int32_t w = 1100, h = 1000;
    std::vector<ChannelImage*> c = randomChannels(rng, w, h, true);
    const int64_t count = edgeCountFor(w, h);
    std::vector<EdgeKey> keys(count), scratch(count);
    buildEdgeKeys(planesOfChannels(c), w, h, keys.data(), 2);
    const EdgeKey* sorted = sortEdgeKeys(keys.data(), scratch.data(), count, 2);
    const std::vector<EdgeKey> expected(sorted, sorted + count);
    const PixelChannels source = planesOfChannels(c);
    for (int threads : {1, 2, 5}) {
        WeightCounts counts;
        ASSERT_TRUE(countEdgeWeights(source, w, h, counts, threads));
        std::vector<uint32_t> placed(count);
        placeEdges(source, w, h, counts, placed.data());
        size_t run = 0;
        for (int64_t i = 0; i < count; ++i) {
            while (counts.runs[run].end <= i) ++run;
            ASSERT_EQ(placed[i], keyEdge(expected[i])) << threads << " threads, edge " << i;
            ASSERT_EQ(makeEdgeKey(counts.runs[run].weight, 0) >> 32, expected[i] >> 32);
        }
        EXPECT_EQ(counts.runs.back().end, count);
    }
    // Splitting the sorted keys gives the same edges and runs.
    std::vector<WeightRun> runs(count);
    runs.resize(splitSortedKeys(const_cast<EdgeKey*>(sorted), count, runs.data()));
    WeightCounts placedCounts;
    countEdgeWeights(source, w, h, placedCounts, 2);
    ASSERT_EQ(runs.size(), placedCounts.runs.size());
    for (size_t r = 0; r < runs.size(); ++r) {
        EXPECT_EQ(runs[r].end, placedCounts.runs[r].end);
        EXPECT_EQ(makeEdgeKey(runs[r].weight, 0), makeEdgeKey(placedCounts.runs[r].weight, 0));
    }
    const uint32_t* split = reinterpret_cast<const uint32_t*>(sorted);
    for (int64_t i = 0; i < count; ++i) ASSERT_EQ(split[i], keyEdge(expected[i]));
    // Weights of every magnitude: too many to count.
    for (int64_t i = 0; i < int64_t{w} * h; ++i)
        c[0]->data[i] = std::exp2(float(rng() % 20000) / 100);
    WeightCounts tooMany;
    EXPECT_FALSE(countEdgeWeights(source, w, h, tooMany, 2));
    for (ChannelImage* image : c) delete image;
}

}  // namespace
}  // namespace segmora
