#include "segment_image_reference.h"

#include <memory>

#include "block_pool.h"
#include "cleanup_and_labels.h"
#include "pixel_graph.h"
#include "segment_graph.h"
#include "segment_merging.h"
#include "segmentation_checks.h"
#include "smoothing.h"

namespace segmora {

namespace {

std::unique_ptr<ChannelImage> smoothedChannel(const cv::Mat_<cv::Vec3d>& image, int channel,
                                              float sigma, BlockPool& pool) {
    auto raw = std::make_unique<ChannelImage>(pool, image.cols, image.rows, true);
    for (int32_t y = 0; y < image.rows; ++y) {
        const cv::Vec3d* in = image[y];
        float* out = raw->rowTable[y];
        for (int32_t x = 0; x < image.cols; ++x) out[x] = static_cast<float>(in[x][channel]);
    }
    return smoothChannel(*raw, sigma, pool);
}

}  // namespace

void segmentImageReference(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                           int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                           const cv::Mat_<int>& constraints, int minSize) {
    Parameters parameters;
    parameters.threshold = threshold;
    parameters.sigma = sigma;
    parameters.capDivisor = capDivisor;
    parameters.minSize = minSize;
    checkSegmentationInput(image.rows, image.cols, parameters, &constraints);
    const int32_t width = image.cols;
    const int32_t height = image.rows;
    labels.create(height, width);

    BlockPool pool;
    auto s0 = smoothedChannel(image, 0, sigma, pool);
    auto s1 = smoothedChannel(image, 1, sigma, pool);
    auto s2 = smoothedChannel(image, 2, sigma, pool);
    std::unique_ptr<GraphEdge[]> edges(new GraphEdge[static_cast<size_t>(4) * width * height]);
    const int32_t edgeCount = buildEdges(*s0, *s1, *s2, edges.get());
    s0.reset();
    s1.reset();
    s2.reset();

    const int32_t vertexCount = width * height;
    auto forest = segmentGraph(vertexCount, edgeCount, edges.get(), threshold,
                               sizeCapFor(vertexCount, capDivisor), constraints);
    mergeSmallSegments(*forest, edgeCount, edges.get(), minSize);
    edges.reset();
    segmentCount = forest->setCount;
    assignLabels(*forest, height, width, labels);
}

}  // namespace segmora
