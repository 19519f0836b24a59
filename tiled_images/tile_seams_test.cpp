// A tile's seam halves are exactly the image's edges with one end in the tile, each once,
// with the weight the whole photo gives it, in key order; a seam edge's place counts the
// tile's inner edges whose key is smaller. Checked against every edge of the image.
#include "tile_seams.h"

#include <gtest/gtest.h>

#include <random>

#include "block_pool.h"
#include "test_photos.h"
#include "tile_grid.h"

namespace segmora {
namespace {

TEST(TileSeams, HalvesAreTheImagesEdgesLeavingTheTileWithTheirWeightsAndPlaces) {
    std::mt19937 rng(5);
    const cv::Mat bgr = testPhoto(23, 31, 1, rng);  // a few greys: many equal weights
    const LabTables lab;
    const PhotoEdgeWeights whole(bgr, lab);
    TiledImage image;
    image.width = bgr.cols;
    image.height = bgr.rows;
    image.tileWidth = 9;
    image.tileHeight = 7;
    static constexpr int kColumnStep[4] = {1, 0, 1, 1}, kRowStep[4] = {0, 1, 1, -1};
    for (const int64_t tile : {0, 5, 14}) {  // a corner, inside, the last (smaller) tile
        const TileRect own = tileRect(image, tile), read = tileReadRect(image, tile);
        const TileFrame frame{image.width, image.height, own};
        BlockPool pool;
        const Workspace workspace{pool, 1, false, &lab};
        const cv::Rect readRect(static_cast<int>(read.x), static_cast<int>(read.y),
                                static_cast<int>(read.width), static_cast<int>(read.height));
        const cv::Rect inside(static_cast<int>(own.x - read.x), static_cast<int>(own.y - read.y),
                              static_cast<int>(own.width), static_cast<int>(own.height));
        TileChannels channels(bgr(readRect), inside, 0.0f, workspace);
        const SortedGraph graph = sortedGraphOf(
            channels.tile(), inside.width, inside.height, [&] { channels.releaseTile(); }, workspace);
        const SortedEdges sorted = graph.view();
        const std::vector<SeamHalf> halves = seamHalvesOf(frame, read.x, read.y, channels);

        std::vector<SeamHalf> expected;
        std::vector<std::pair<uint32_t, uint64_t>> innerKeys;
        for (int y = 0; y < bgr.rows; ++y) {
            for (int x = 0; x < bgr.cols; ++x) {
                for (int d = 0; d < 4; ++d) {
                    const int qx = x + kColumnStep[d], qy = y + kRowStep[d];
                    if (qx >= bgr.cols || qy < 0 || qy >= bgr.rows) continue;
                    const bool here = rectHolds(own, x, y), there = rectHolds(own, qx, qy);
                    const uint32_t weight = weightBits(whole(y * bgr.cols + x, qy * bgr.cols + qx));
                    const uint64_t edge = static_cast<uint64_t>(y * bgr.cols + x) * 4 + d;
                    if (here && there) innerKeys.emplace_back(weight, edge);
                    if (here == there) continue;
                    const int64_t lx = (here ? x : qx) - own.x, ly = (here ? y : qy) - own.y;
                    expected.push_back({weight, edge, static_cast<int32_t>(ly * own.width + lx)});
                }
            }
        }
        std::sort(expected.begin(), expected.end(), [](const SeamHalf& p, const SeamHalf& q) {
            return p.weight != q.weight ? p.weight < q.weight : p.edge < q.edge;
        });
        ASSERT_EQ(halves.size(), expected.size()) << "tile " << tile;
        ASSERT_EQ(static_cast<int64_t>(innerKeys.size()), sorted.count) << "tile " << tile;
        for (size_t i = 0; i < halves.size(); ++i) {
            EXPECT_EQ(halves[i].weight, expected[i].weight) << "tile " << tile << ", half " << i;
            EXPECT_EQ(halves[i].edge, expected[i].edge) << "tile " << tile << ", half " << i;
            EXPECT_EQ(halves[i].pixel, expected[i].pixel) << "tile " << tile << ", half " << i;
            const auto before = std::count_if(innerKeys.begin(), innerKeys.end(), [&](const auto& key) {
                return key < std::make_pair(halves[i].weight, halves[i].edge);
            });
            EXPECT_EQ(seamPlace(sorted, frame, halves[i].weight, halves[i].edge), before)
                << "tile " << tile << ", half " << i;
        }
    }
}

}  // namespace
}  // namespace segmora
