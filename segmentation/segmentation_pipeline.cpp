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

LabPlanes planesFromLab(const cv::Mat_<cv::Vec3b>& lab) {
    float lightness[256];
    for (int v = 0; v < 256; ++v) lightness[v] = static_cast<float>(static_cast<double>(v) * 0.3);
    const size_t pixels = lab.total();
    LabPlanes planes{LargeBuffer(3 * pixels * sizeof(float)), PixelChannels()};
    float* l = planes.buffer.as<float>();
    float* a = l + pixels;
    float* b = a + pixels;
    for (int c = 0; c < 3; ++c) planes.channels.planes[c] = l + c * pixels;
    for (int32_t y = 0; y < lab.rows; ++y) {
        const cv::Vec3b* in = lab[y];
        const size_t first = static_cast<size_t>(y) * lab.cols;
        for (int32_t x = 0; x < lab.cols; ++x) {
            l[first + x] = lightness[in[x][0]];
            a[first + x] = in[x][1];
            b[first + x] = in[x][2];
        }
    }
    return planes;
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

PixelChannels planesOf(const ChannelSet& channels) {
    PixelChannels source;
    for (int c = 0; c < 3; ++c) source.planes[c] = channels[c]->data;
    return source;
}

EdgeGraph buildGraph(const PixelChannels& channels, int32_t width, int32_t height) {
    EdgeGraph graph;
    graph.width = width;
    graph.height = height;
    graph.edgeCount = edgeCountFor(width, height);
    graph.placed = countEdgeWeights(channels, width, height, graph.weightCounts);
    if (!graph.placed) {
        graph.edges = LargeBuffer(static_cast<size_t>(graph.edgeCount) * sizeof(EdgeKey));
        buildEdgeKeys(channels, width, height, graph.edges.as<EdgeKey>());
    }
    return graph;
}

void sortGraph(EdgeGraph& graph, const PixelChannels& channels) {
    if (graph.placed) {
        graph.edges = LargeBuffer(static_cast<size_t>(graph.edgeCount) * sizeof(uint32_t));
        placeEdges(channels, graph.width, graph.height, graph.weightCounts,
                   graph.edges.as<uint32_t>());
        graph.runCount = static_cast<int64_t>(graph.weightCounts.runs.size());
        return;
    }
    graph.spare = LargeBuffer(graph.edges.size());
    EdgeKey* sorted =
        sortEdgeKeys(graph.edges.as<EdgeKey>(), graph.spare.as<EdgeKey>(), graph.edgeCount);
    if (sorted == graph.spare.as<EdgeKey>()) std::swap(graph.edges, graph.spare);
    graph.runCount = splitSortedKeys(sorted, graph.edgeCount, graph.spare.as<WeightRun>());
}

SortedEdges EdgeGraph::sorted() const {
    const WeightRun* runs = placed ? weightCounts.runs.data() : spare.as<WeightRun>();
    return SortedEdges{edges.as<uint32_t>(), edgeCount, runs, runCount};
}

SegmentForest mergeGraph(EdgeGraph& graph, float threshold, int capDivisor,
                         const int32_t* regions) {
    graph.forest = LargeBuffer(static_cast<size_t>(graph.pixelCount()) * kForestBytesPerPixel);
    SegmentForest forest(graph.forest.as<void>(), graph.pixelCount(), threshold);
    const MergeRules rules{threshold, sizeCapFor(graph.pixelCount(), capDivisor), regions};
    mergeSegments(forest, graph.sorted(), NeighbourOffsets(graph.width), rules);
    return forest;
}

void absorbSmall(EdgeGraph& graph, SegmentForest& forest) {
    LargeBuffer smallPixels((static_cast<size_t>(graph.pixelCount()) + 63) / 64 * sizeof(uint64_t));
    absorbSmallSegments(forest, graph.pixelCount(), graph.sorted(), NeighbourOffsets(graph.width),
                        kMinSegmentSize, smallPixels.as<uint64_t>());
    graph.edges.release();
    graph.spare.release();
}

void labelSegments(const EdgeGraph& graph, SegmentForest& forest, cv::Mat_<int>& labels) {
    labels.create(graph.height, graph.width);
    numberSegments(forest, labels.ptr<int32_t>(), graph.pixelCount());
}

}  // namespace segmora
