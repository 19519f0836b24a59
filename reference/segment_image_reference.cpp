#include "segment_image_reference.h"

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

}  // namespace

void segmentImageReference(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                           int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                           const cv::Mat_<int>& constraints, int minSize) {
    checkReferenceInput(image.rows, image.cols, sigma, threshold, capDivisor, minSize, constraints);
    const int32_t width = image.cols;
    const int32_t height = image.rows;
    const cv::Mat_<int> regions =
        constraints.empty() ? cv::Mat_<int>(height, width, 1) : constraints;
    labels.create(height, width);

    std::unique_ptr<GraphEdge[]> edges(new GraphEdge[static_cast<size_t>(4) * width * height]);
    const int32_t edgeCount =
        buildEdges(smoothedChannel(image, 0, sigma), smoothedChannel(image, 1, sigma),
                   smoothedChannel(image, 2, sigma), edges.get());

    const int32_t vertexCount = width * height;
    auto forest = segmentGraph(vertexCount, edgeCount, edges.get(), threshold,
                               referenceSizeCap(vertexCount, capDivisor), regions);
    mergeSmallSegments(*forest, edgeCount, edges.get(), minSize);
    edges.reset();
    segmentCount = forest->setCount;
    assignLabels(*forest, height, width, labels);
}

}  // namespace segmora
