#include "masked_segmentation.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "edge_weights.h"
#include "grid_edges.h"
#include "key_sort.h"
#include "merge_hierarchy.h"
#include "parallel.h"
#include "segment_forest.h"
#include "segment_merging.h"
#include "small_segments.h"
#include "sorted_graph.h"

namespace segmora {

namespace {

// Calls visit(edgeNumber, secondPixel) for the edges of row y whose two ends are inside, in
// construction order (edge numbers ascending).
template <class Visit>
void visitInsideEdges(const uint8_t* mask, int32_t width, int32_t height, int64_t y,
                      Visit&& visit) {
    const NeighbourOffsets neighbours(width);
    const bool below = y<height - 1, above = y> 0;
    const int64_t first = y * width;
    for (int32_t x = 0; x < width; ++x) {
        const int64_t u = first + x;
        if (mask[u] == 0) continue;
        const bool right = x < width - 1;
        const uint32_t edge = static_cast<uint32_t>(u) * 4;
        const bool inside[4] = {right && mask[u + neighbours.offset[kRight]] != 0,
                                below && mask[u + neighbours.offset[kBelow]] != 0,
                                right && below && mask[u + neighbours.offset[kBelowRight]] != 0,
                                right && above && mask[u + neighbours.offset[kAboveRight]] != 0};
        for (uint32_t direction = kRight; direction <= kAboveRight; ++direction) {
            if (inside[direction]) visit(edge + direction, u + neighbours.offset[direction]);
        }
    }
}

// The keys of the edges between inside pixels, in construction order, on up to `threads`
// threads (blocks of rows counted first, then filled at their places). Returns the count.
int64_t buildInsideKeys(const PixelChannels& channels, int32_t width, int32_t height,
                        const uint8_t* mask, int threads, BlockPool& pool, LargeBuffer& keys) {
    const int parts = std::min<int>(partsForItems(int64_t{width} * height * 4, threads), height);
    std::vector<int64_t> starts(static_cast<size_t>(parts) + 1, 0);
    runInParts(parts, height, [&](int part, int64_t begin, int64_t end) {
        int64_t count = 0;
        for (int64_t y = begin; y < end; ++y) {
            visitInsideEdges(mask, width, height, y, [&](uint32_t, int64_t) { ++count; });
        }
        starts[part + 1] = count;
    });
    for (int part = 0; part < parts; ++part) starts[part + 1] += starts[part];
    const int64_t count = starts[parts];
    keys = LargeBuffer(pool, static_cast<size_t>(std::max<int64_t>(count, 1)) * sizeof(EdgeKey));
    EdgeKey* out = keys.as<EdgeKey>();
    runInParts(parts, height, [&](int part, int64_t begin, int64_t end) {
        EdgeKey* next = out + starts[part];
        for (int64_t y = begin; y < end; ++y) {
            visitInsideEdges(mask, width, height, y, [&](uint32_t edge, int64_t v) {
                *next++ = makeEdgeKey(pixelDistance(channels, edge >> 2, v), edge);
            });
        }
    });
    return count;
}

// The inside edges sorted as the plain graph sorts all of its edges: ascending weight, equal
// weights in construction order.
SortedGraph insideGraph(const PixelChannels& channels, int32_t width, int32_t height,
                        const uint8_t* mask, const std::function<void()>& release,
                        const Workspace& workspace) {
    SortedGraph graph;
    graph.width = width;
    graph.height = height;
    LargeBuffer keys;
    graph.edgeCount =
        buildInsideKeys(channels, width, height, mask, workspace.threads, workspace.pool, keys);
    release();
    LargeBuffer spare(workspace.pool, keys.size());
    EdgeKey* sorted =
        sortEdgeKeys(keys.as<EdgeKey>(), spare.as<EdgeKey>(), graph.edgeCount, workspace.threads);
    if (sorted == spare.as<EdgeKey>()) std::swap(keys, spare);
    graph.runCount = splitSortedKeys(keys.as<EdgeKey>(), graph.edgeCount, spare.as<WeightRun>());
    graph.edges = std::move(keys);
    graph.runs = std::move(spare);
    return graph;
}

// Label 0 outside; 1, 2, ... per segment inside in raster order of first pixels. Returns the
// count.
int32_t numberInsideSegments(SegmentForest& forest, const uint8_t* mask, int32_t* labels,
                             int32_t pixelCount) {
    SegmentData* data = forest.data;
    int32_t nextLabel = 1;
    for (int32_t v = 0; v < pixelCount; ++v) {
        if (mask[v] == 0) {
            labels[v] = 0;
            continue;
        }
        const int32_t root = forest.findRootNear(v);
        if (data[root].size > 0) data[root].size = -nextLabel++;
        labels[v] = -data[root].size;
    }
    return nextLabel - 1;
}

}  // namespace

const uint8_t* maskForRun(const cv::Mat& mask, int rows, int columns, cv::Mat& copy) {
    if (mask.empty()) return nullptr;
    if (mask.dims != 2 || mask.type() != CV_8UC1) {
        throw std::invalid_argument("mask must be one byte per pixel (CV_8UC1), not " +
                                    cv::typeToString(mask.type()));
    }
    if (mask.rows != rows || mask.cols != columns) {
        throw std::invalid_argument("mask has " + std::to_string(mask.cols) + " x " +
                                    std::to_string(mask.rows) + " cells but the image has " +
                                    std::to_string(columns) + " x " + std::to_string(rows) +
                                    " pixels");
    }
    if (cv::countNonZero(mask) == static_cast<int>(mask.total())) return nullptr;
    if (mask.isContinuous()) return mask.ptr<uint8_t>();
    copy = mask.clone();
    return copy.ptr<uint8_t>();
}

Segmentation segmentMaskedChannels(const PixelChannels& channels, int32_t width, int32_t height,
                                   const uint8_t* mask, const std::function<void()>& release,
                                   const Parameters& parameters, const int32_t* regions,
                                   const Workspace& workspace) {
    SortedGraph graph = insideGraph(channels, width, height, mask, release, workspace);
    const int32_t pixels = graph.pixelCount();
    SegmentForest forest(workspace.pool, pixels, parameters.threshold);
    const bool recorded = workspace.hierarchy != nullptr || workspace.cutCount != 0;
    UnionLog log = recorded ? UnionLog(workspace.pool, parameters.minSize, pixels) : UnionLog();
    UnionLog* const record = recorded ? &log : nullptr;
    if (graph.edgeCount > 0) {
        mergeSegments(forest, graph, parameters, regions, MergeLoop::BySize, record);
        absorbSmallSegments(forest, graph, parameters, workspace, nullptr, record);
    }
    Segmentation result;
    result.labels = workspace.labels != nullptr ? *workspace.labels : cv::Mat_<int>(height, width);
    result.count = numberInsideSegments(forest, mask, result.labels.ptr<int32_t>(), pixels);
    if (record != nullptr) leaveHierarchy(log, forest, graph, result, regions, workspace);
    return result;
}

}  // namespace segmora
