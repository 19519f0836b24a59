// The two merge loops must make the same merges: on photos made to hurt, with
// and without regions, under caps that bind and thresholds from none to all.
#include "segment_merging.h"

#include <gtest/gtest.h>

#include <vector>

#include "photo_lab_planes.h"
#include "segment_numbering.h"
#include "test_photos.h"

namespace segmora {
namespace {

BlockPool pool;

std::vector<int32_t> mergedLabels(const cv::Mat& bgr, const Parameters& parameters,
                                  const int32_t* regions, MergeLoop loop) {
    const LabTables tables;
    const Workspace workspace{pool, 2, false, &tables};
    ChannelPlanes planes = planesFromPhoto(bgr, workspace);
    const SortedGraph graph = sortedGraphOf(
        planes.channels, bgr.cols, bgr.rows, [&] { planes.buffer.release(); }, workspace);
    SegmentForest forest(pool, graph.pixelCount(), parameters.threshold);
    mergeSegments(forest, graph, parameters, regions, loop);
    std::vector<int32_t> labels(static_cast<size_t>(graph.pixelCount()) + 1);
    numberSegments(forest, labels.data(), graph.pixelCount());
    labels.back() = forest.setCount;
    return labels;
}

TEST(SegmentMerging, BothLoopsMakeTheSameMerges) {
    std::mt19937 rng(11);
    const int shapes[][2] = {{1, 1}, {1, 40}, {40, 1}, {23, 31}, {64, 97}};
    for (const auto& shape : shapes) {
        std::vector<int32_t> regions(static_cast<size_t>(shape[0]) * shape[1]);
        for (size_t i = 0; i < regions.size(); ++i) regions[i] = static_cast<int32_t>(i % 7 / 3);
        for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
            const cv::Mat bgr = testPhoto(shape[0], shape[1], kind, rng);
            for (const float threshold : {0.0f, 500.0f, 1e30f}) {
                for (const int32_t capDivisor : {1, 50, 3000}) {
                    Parameters parameters = photoParameters(false);
                    parameters.threshold = threshold;
                    parameters.capDivisor = capDivisor;
                    for (const int32_t* ids : {static_cast<const int32_t*>(nullptr),
                                               static_cast<const int32_t*>(regions.data())}) {
                        EXPECT_EQ(mergedLabels(bgr, parameters, ids, MergeLoop::Branchless),
                                  mergedLabels(bgr, parameters, ids, MergeLoop::WithBranches))
                            << shape[0] << " x " << shape[1] << ", kind " << kind << ", threshold "
                            << threshold << ", divisor " << capDivisor
                            << (ids != nullptr ? ", regions" : "");
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace segmora
