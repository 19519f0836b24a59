#include "key_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "block_pool.h"
#include "grid_edges.h"
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

}  // namespace
}  // namespace segmora
