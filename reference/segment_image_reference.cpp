#include "segment_image_reference.h"

#include <algorithm>
#include <map>
#include <memory>

#include "cleanup_and_labels.h"
#include "pixel_graph.h"
#include "plain_smoothing.h"
#include "reference_rules.h"
#include "segment_graph.h"

namespace segmora {

namespace {

cv::Mat_<float> smoothedChannel(const cv::Mat_<cv::Vec3d>& image, int channel, float sigma) {
    cv::Mat_<float> raw(image.rows, image.cols);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) raw(y, x) = static_cast<float>(image(y, x)[channel]);
    }
    return smoothPlane(raw, sigma);
}

// Drops the edges with an end outside `mask`, keeping the others' order; returns how many
// are left.
int32_t insideEdges(const cv::Mat_<uint8_t>& mask, GraphEdge* edges, int32_t edgeCount) {
    const uint8_t* inside = mask.ptr<uint8_t>();
    return static_cast<int32_t>(
        std::remove_if(edges, edges + edgeCount,
                       [&](const GraphEdge& e) { return !inside[e.a] || !inside[e.b]; }) -
        edges);
}

// Label 0 outside `mask`, the segments inside numbered 1, 2, ... in raster order.
int numberInside(DisjointSetForest& forest, const cv::Mat_<uint8_t>& mask, cv::Mat_<int>& labels) {
    std::map<int32_t, int> rootLabels;
    for (int32_t v = 0; v < static_cast<int32_t>(labels.total()); ++v) {
        int& label = labels(v / labels.cols, v % labels.cols);
        if (!mask(v / labels.cols, v % labels.cols)) {
            label = 0;
            continue;
        }
        label = rootLabels.try_emplace(forest.findRoot(v), rootLabels.size() + 1).first->second;
    }
    return static_cast<int>(rootLabels.size());
}

}  // namespace

void segmentImageReference(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                           int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                           const cv::Mat_<int>& constraints, int minSize,
                           const cv::Mat_<uint8_t>& mask) {
    checkReferenceInput(image.rows, image.cols, sigma, threshold, capDivisor, minSize, constraints);
    const int32_t width = image.cols;
    const int32_t height = image.rows;
    const cv::Mat_<int> regions =
        constraints.empty() ? cv::Mat_<int>(height, width, 1) : constraints;
    labels.create(height, width);

    std::unique_ptr<GraphEdge[]> edges(new GraphEdge[static_cast<size_t>(4) * width * height]);
    int32_t edgeCount =
        buildEdges(smoothedChannel(image, 0, sigma), smoothedChannel(image, 1, sigma),
                   smoothedChannel(image, 2, sigma), edges.get());
    if (!mask.empty()) edgeCount = insideEdges(mask, edges.get(), edgeCount);

    const int32_t vertexCount = width * height;
    auto forest = segmentGraph(vertexCount, edgeCount, edges.get(), threshold,
                               referenceSizeCap(vertexCount, capDivisor), regions);
    mergeSmallSegments(*forest, edgeCount, edges.get(), minSize);
    edges.reset();
    if (!mask.empty()) {
        segmentCount = numberInside(*forest, mask, labels);
        return;
    }
    segmentCount = forest->setCount;
    assignLabels(*forest, height, width, labels);
}

}  // namespace segmora
