// The two merge loops must make the same merges, and record the same unions when asked
// to, the same with a log as without: on photos made to hurt, with and without regions,
// under caps that bind and thresholds from none to all.
#include "segment_merging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "photo_lab_planes.h"
#include "segment_numbering.h"
#include "test_photos.h"

namespace segmora {
namespace {

BlockPool pool;

// The labels and the count, then with `record` each recorded union (edge, mark) and the
// log's counts.
std::vector<int64_t> mergedLabels(const cv::Mat& bgr, const Parameters& parameters,
                                  const int32_t* regions, MergeLoop loop, bool record) {
    const LabTables tables;
    const Workspace workspace{pool, 2, false, &tables};
    ChannelPlanes planes = planesFromPhoto(bgr, workspace);
    const SortedGraph graph = sortedGraphOf(
        planes.channels, bgr.cols, bgr.rows, [&] { planes.buffer.release(); }, workspace);
    SegmentForest forest(pool, graph.pixelCount(), parameters.threshold);
    UnionLog log = record ? UnionLog(pool, parameters.minSize, graph.pixelCount()) : UnionLog();
    mergeSegments(forest, graph, parameters, regions, loop, record ? &log : nullptr);
    std::vector<int32_t> labels(static_cast<size_t>(graph.pixelCount()));
    numberSegments(forest, labels.data(), graph.pixelCount());
    std::vector<int64_t> result(labels.begin(), labels.end());
    result.push_back(forest.setCount);
    for (int64_t k = 0; k < log.count; ++k) {
        result.push_back(log.edges[k]);
        result.push_back(log.isBothLarge(k));
    }
    if (record) result.insert(result.end(), {log.count, log.mergeUnions, log.largeCount});
    return result;
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
                        const auto merged = [&](MergeLoop loop, bool record) {
                            return mergedLabels(bgr, parameters, ids, loop, record);
                        };
                        const std::vector<int64_t> plain = merged(MergeLoop::Branchless, false);
                        const std::vector<int64_t> logged = merged(MergeLoop::Branchless, true);
                        SCOPED_TRACE(::testing::Message()
                                     << shape[0] << " x " << shape[1] << ", kind " << kind
                                     << ", threshold " << threshold << ", divisor " << capDivisor
                                     << (ids != nullptr ? ", regions" : ""));
                        EXPECT_EQ(plain, merged(MergeLoop::WithBranches, false));
                        EXPECT_EQ(logged, merged(MergeLoop::WithBranches, true));
                        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), logged.begin()));
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace segmora
