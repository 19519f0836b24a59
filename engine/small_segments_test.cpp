// The clean-up finds the edges around small segments from the photo's pixels;
// they must be the edges, in the order, that a scan of all sorted edges finds.
// Photos made to hurt (test_photos.h) with every pixel its own segment,
// word-boundary widths, single rows and columns.
#include "small_segments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "photo_lab_planes.h"
#include "segment_merging.h"
#include "segment_numbering.h"
#include "test_photos.h"

namespace segmora {
namespace {

BlockPool pool;

std::vector<int32_t> labelsAfterCleanUp(const cv::Mat& bgr, const Parameters& parameters,
                                        bool aroundMarked) {
    const LabTables tables;
    const Workspace workspace{pool, 1, false, &tables};
    ChannelPlanes planes = planesFromPhoto(bgr, workspace);
    const SortedGraph graph = sortedGraphOf(
        planes.channels, bgr.cols, bgr.rows, [&] { planes.buffer.release(); }, workspace);
    SegmentForest forest(pool, graph.pixelCount(), parameters.threshold);
    mergeSegments(forest, graph, parameters, nullptr);
    const PhotoEdgeWeights weights(bgr, tables);
    absorbSmallSegments(forest, graph, parameters, workspace, aroundMarked ? &weights : nullptr);
    std::vector<int32_t> labels(static_cast<size_t>(graph.pixelCount()));
    numberSegments(forest, labels.data(), graph.pixelCount());
    return labels;
}

TEST(SmallSegments, EdgesFoundAroundSmallSegmentsAreTheScannedOnes) {
    std::mt19937 rng(7);
    const int shapes[][2] = {{1, 1},  {1, 9},  {9, 1},  {2, 2},    {3, 7},   {5, 63},
                             {4, 64}, {3, 65}, {64, 3}, {17, 129}, {40, 31}, {130, 2}};
    for (const auto& shape : shapes) {
        for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
            const cv::Mat bgr = testPhoto(shape[0], shape[1], kind, rng);
            for (const float threshold : {0.0f, 50.0f, 500.0f}) {
                Parameters parameters = photoParameters(false);
                parameters.threshold = threshold;
                parameters.minSize = threshold == 0.0f ? 9 : 5;
                EXPECT_EQ(labelsAfterCleanUp(bgr, parameters, true),
                          labelsAfterCleanUp(bgr, parameters, false))
                    << shape[0] << " x " << shape[1] << ", kind " << kind << ", threshold "
                    << threshold;
            }
        }
    }
}

// On a photo of more than 2^21 pixels the keys are gathered in two parts; they
// must be every edge with a marked end, each once, keyed by its weight and sorted,
// whatever the thread count, with marks on both sides of the parts' border.
TEST(SmallSegments, KeysAroundMarkedPixelsInOneOrTwoParts) {
    std::mt19937 rng(3);
    const int32_t width = 2048, height = 1040;
    const cv::Mat bgr = testPhoto(height, width, 1, rng);
    std::vector<uint64_t> marks((int64_t{width} * height + 63) / 64);
    for (uint64_t& word : marks) word = rng() % 4 == 0 ? uint64_t{rng()} << 32 | rng() : 0;
    marks[marks.size() / 2 - 1] = marks[marks.size() / 2] = ~uint64_t{0};
    const LabTables tables;
    const PhotoEdgeWeights weights(bgr, tables);
    const auto marked = [&](int32_t v) { return (marks[v >> 6] >> (v & 63)) & 1; };
    std::vector<EdgeKey> expected;
    const NeighbourOffsets neighbours(width);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t u = y * width + x;
            const bool exists[4] = {x + 1 < width, y + 1 < height, x + 1 < width && y + 1 < height,
                                    x + 1 < width && y > 0};
            for (uint32_t direction = 0; direction < 4; ++direction) {
                const int32_t v = u + neighbours.offset[direction];
                if (!exists[direction] || !(marked(u) || marked(v))) continue;
                expected.push_back(
                    makeEdgeKey(weights(u, v), static_cast<uint32_t>(u) * 4 + direction));
            }
        }
    }
    std::sort(expected.begin(), expected.end());
    for (const int threads : {1, 2}) {  // one part, two
        const EdgeKeys found(pool, marks.data(), width, height, weights, threads);
        ASSERT_EQ(found.count, static_cast<int64_t>(expected.size())) << threads << " threads";
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), found.keys()))
            << threads << " threads";
    }
}

}  // namespace
}  // namespace segmora
