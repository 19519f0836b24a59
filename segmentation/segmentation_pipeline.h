#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <opencv2/core.hpp>

#include "channel_image.h"
#include "edge_keys.h"
#include "large_buffer.h"
#include "segment_forest.h"

namespace segmora {

// The stages of the fast segmentation, in the order segmentImage runs them.
// Each stage releases what the next ones no longer need.

using ChannelSet = std::array<std::unique_ptr<ChannelImage>, 3>;

// Channels L * 0.3, a, b of an 8-bit Lab image.
ChannelSet channelsFromLab(const cv::Mat_<cv::Vec3b>& lab);

// The three components of each pixel, rounded to float; `allFinite` tells
// whether every sample is a finite number.
ChannelSet channelsFromImage(const cv::Mat_<cv::Vec3d>& image, bool& allFinite);

// Gaussian smoothing of each channel, skipped when it would change nothing.
void smoothChannels(ChannelSet& channels, float sigma, bool allFinite);

// The pixel graph as sorted keys. Two arrays of equal size: `keys` holds
// the keys, `spare` serves the sort and then the forest.
struct EdgeGraph {
    int32_t width = 0;
    int32_t height = 0;
    int64_t edgeCount = 0;
    LargeBuffer keys;
    LargeBuffer spare;

    int32_t pixelCount() const { return width * height; }
};

// Builds the keys of all edges and releases the channels.
EdgeGraph buildGraph(ChannelSet& channels);

void sortGraph(EdgeGraph& graph);

// Merges segments greedily; the forest lives in the graph's spare array.
SegmentForest mergeGraph(EdgeGraph& graph, float threshold, int capDivisor,
                         const int32_t* regions);

// Absorbs segments below the minimum size, then releases the keys.
void absorbSmall(EdgeGraph& graph, SegmentForest& forest);

// Re-creates `labels` at the graph's size and numbers the segments.
void labelSegments(const EdgeGraph& graph, SegmentForest& forest, cv::Mat_<int>& labels);

}  // namespace segmora
