#include "segmentation_pipeline.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "labelling.h"
#include "pixel_graph.h"
#include "smoothing.h"

namespace segmora {

namespace {

ChannelSet newChannels(int32_t width, int32_t height) {
    ChannelSet channels;
    for (auto& channel : channels) channel = std::make_unique<ChannelImage>(width, height, false);
    return channels;
}

}  // namespace

ChannelSet channelsFromLab(const cv::Mat_<cv::Vec3b>& lab) {
    float lightness[256];
    for (int v = 0; v < 256; ++v) lightness[v] = static_cast<float>(static_cast<double>(v) * 0.3);
    ChannelSet channels = newChannels(lab.cols, lab.rows);
    for (int32_t y = 0; y < lab.rows; ++y) {
        const cv::Vec3b* in = lab[y];
        float* l = channels[0]->rowTable[y];
        float* a = channels[1]->rowTable[y];
        float* b = channels[2]->rowTable[y];
        for (int32_t x = 0; x < lab.cols; ++x) {
            l[x] = lightness[in[x][0]];
            a[x] = in[x][1];
            b[x] = in[x][2];
        }
    }
    return channels;
}

ChannelSet channelsFromImage(const cv::Mat_<cv::Vec3d>& image, bool& allFinite) {
    ChannelSet channels = newChannels(image.cols, image.rows);
    allFinite = true;
    for (int32_t y = 0; y < image.rows; ++y) {
        const cv::Vec3d* in = image[y];
        for (int c = 0; c < 3; ++c) {
            float* out = channels[c]->rowTable[y];
            for (int32_t x = 0; x < image.cols; ++x) {
                out[x] = static_cast<float>(in[x][c]);
                allFinite = allFinite && std::isfinite(out[x]);
            }
        }
    }
    return channels;
}

void smoothChannels(ChannelSet& channels, float sigma, bool allFinite) {
    GaussianMask mask = buildGaussianMask(sigma);
    normalizeMask(mask);
    if (isIdentityMask(mask) && allFinite) return;
    for (auto& channel : channels) channel = smoothChannel(*channel, sigma);
}

EdgeGraph buildGraph(ChannelSet& channels) {
    EdgeGraph graph;
    graph.width = channels[0]->width;
    graph.height = channels[0]->height;
    graph.edgeCount = edgeCountFor(graph.width, graph.height);
    // Either array may end up holding the forest once the keys are sorted.
    const size_t bytes = std::max(static_cast<size_t>(graph.edgeCount) * sizeof(EdgeKey),
                                  static_cast<size_t>(graph.pixelCount()) * kForestBytesPerPixel);
    graph.keys = LargeBuffer(bytes);
    buildEdgeKeys(channels[0]->data, channels[1]->data, channels[2]->data, graph.width,
                  graph.height, graph.keys.as<EdgeKey>());
    for (auto& channel : channels) channel.reset();
    graph.spare = LargeBuffer(bytes);
    return graph;
}

void sortGraph(EdgeGraph& graph) {
    const EdgeKey* sorted =
        sortEdgeKeys(graph.keys.as<EdgeKey>(), graph.spare.as<EdgeKey>(), graph.edgeCount);
    if (sorted == graph.spare.as<EdgeKey>()) std::swap(graph.keys, graph.spare);
}

SegmentForest mergeGraph(EdgeGraph& graph, float threshold, int capDivisor,
                         const int32_t* regions) {
    SegmentForest forest(graph.spare.as<void>(), graph.pixelCount(), threshold);
    const MergeRules rules{threshold, sizeCapFor(graph.pixelCount(), capDivisor), regions};
    mergeSegments(forest, graph.keys.as<EdgeKey>(), graph.edgeCount,
                  NeighbourOffsets(graph.width), rules);
    return forest;
}

void absorbSmall(EdgeGraph& graph, SegmentForest& forest) {
    LargeBuffer smallPixels((static_cast<size_t>(graph.pixelCount()) + 63) / 64 * sizeof(uint64_t));
    absorbSmallSegments(forest, graph.pixelCount(), graph.keys.as<EdgeKey>(), graph.edgeCount,
                        NeighbourOffsets(graph.width), kMinSegmentSize, smallPixels.as<uint64_t>());
    graph.keys.release();
}

void labelSegments(const EdgeGraph& graph, SegmentForest& forest, cv::Mat_<int>& labels) {
    labels.create(graph.height, graph.width);
    numberSegments(forest, labels.ptr<int32_t>(), graph.pixelCount());
}

}  // namespace segmora
