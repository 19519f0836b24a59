// The clean-up finds the edges around small segments from the photo's pixels;
// they must be the edges, in the order, that a scan of all sorted edges finds.
// Photos made to hurt (test_photos.h) with every pixel its own segment,
// word-boundary widths, single rows and columns.
#include "small_segments.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace segmora
