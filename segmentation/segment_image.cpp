#include "segment_image.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "edge_keys.h"
#include "labelling.h"
#include "large_buffer.h"
#include "pixel_graph.h"
#include "segment_forest.h"
#include "segmentation_checks.h"
#include "smoothing.h"

namespace segmora {

namespace {

using Channels = std::unique_ptr<ChannelImage>[3];

struct Settings {
    float threshold;
    int capDivisor;
    const int32_t* regions;
};

// Smooths the channels in place of the originals, unless the mask is the
// identity and every sample is finite: then smoothing would change nothing.
void smooth(Channels& channels, float sigma, bool allFinite) {
    GaussianMask mask = buildGaussianMask(sigma);
    normalizeMask(mask);
    if (isIdentityMask(mask) && allFinite) return;
    for (auto& channel : channels) channel = smoothChannel(*channel, sigma);
}

// Builds, sorts and merges the graph of the channels, which it releases as
// soon as the edges exist, and writes the labels.
void segmentChannels(Channels& channels, const Settings& settings, int& segmentCount,
                     cv::Mat_<int>& labels) {
    const int32_t width = channels[0]->width;
    const int32_t height = channels[0]->height;
    const int32_t pixels = width * height;
    const int64_t edgeCount = edgeCountFor(width, height);

    // Either array may end up holding the forest once the keys are sorted.
    const size_t bufferBytes = std::max(static_cast<size_t>(edgeCount) * sizeof(EdgeKey),
                                        static_cast<size_t>(pixels) * sizeof(SegmentNode));
    LargeBuffer keyBuffer(bufferBytes);
    buildEdgeKeys(channels[0]->data, channels[1]->data, channels[2]->data, width, height,
                  keyBuffer.as<EdgeKey>());
    for (auto& channel : channels) channel.reset();

    LargeBuffer spare(bufferBytes);
    EdgeKey* sorted = sortEdgeKeys(keyBuffer.as<EdgeKey>(), spare.as<EdgeKey>(), edgeCount);
    if (sorted == spare.as<EdgeKey>()) std::swap(keyBuffer, spare);

    const NeighbourOffsets neighbours(width);
    SegmentForest forest(spare.as<SegmentNode>(), pixels, settings.threshold);
    mergeSegments(forest, sorted, edgeCount, neighbours,
                  MergeRules{settings.threshold, sizeCapFor(pixels, settings.capDivisor),
                             settings.regions});
    {
        LargeBuffer smallPixels((static_cast<size_t>(pixels) + 63) / 64 * sizeof(uint64_t));
        absorbSmallSegments(forest, pixels, sorted, edgeCount, neighbours, kMinSegmentSize,
                            smallPixels.as<uint64_t>());
    }
    keyBuffer.release();
    segmentCount = forest.setCount;
    labels.create(height, width);
    numberSegments(forest, labels.ptr<int32_t>(), pixels);
}

// The region ids as one contiguous array, copied only when the matrix is not.
const int32_t* contiguousRegions(const cv::Mat_<int>& regions, cv::Mat_<int>& copy) {
    if (regions.empty()) return nullptr;
    if (regions.isContinuous()) return regions.ptr<int32_t>();
    copy = regions.clone();
    return copy.ptr<int32_t>();
}

}  // namespace

void segmentImage(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                  int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                  const cv::Mat_<int>& constraints) {
    checkSegmentationInput(image.rows, image.cols, capDivisor, &constraints);
    Channels channels;
    for (auto& channel : channels) channel = std::make_unique<ChannelImage>(image.cols, image.rows, false);
    bool allFinite = true;
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
    smooth(channels, sigma, allFinite);
    cv::Mat_<int> regionCopy;
    segmentChannels(channels, Settings{threshold, capDivisor, contiguousRegions(constraints, regionCopy)},
                    segmentCount, labels);
}

void segmentLabImage(const cv::Mat_<cv::Vec3b>& lab, float threshold, int& segmentCount,
                     cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>* constraints) {
    checkSegmentationInput(lab.rows, lab.cols, capDivisor, constraints);
    float lightness[256];
    for (int v = 0; v < 256; ++v) lightness[v] = static_cast<float>(static_cast<double>(v) * 0.3);
    Channels channels;
    for (auto& channel : channels) channel = std::make_unique<ChannelImage>(lab.cols, lab.rows, false);
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
    cv::Mat_<int> regionCopy;
    const int32_t* regions = constraints != nullptr ? contiguousRegions(*constraints, regionCopy) : nullptr;
    segmentChannels(channels, Settings{threshold, capDivisor, regions}, segmentCount, labels);
}

}  // namespace segmora
