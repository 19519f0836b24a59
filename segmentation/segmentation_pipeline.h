#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>

#include "channel_image.h"
#include "edge_keys.h"
#include "edge_sort.h"
#include "large_buffer.h"
#include "segment_forest.h"

namespace segmora {

// The stages of the fast segmentation, in the order segmentImage runs them.
// Each stage releases what the next ones no longer need.

using ChannelSet = std::array<std::unique_ptr<ChannelImage>, 3>;

// Channels L * 0.3, a, b of an 8-bit Lab image as three planes in one
// buffer (which the forest later reuses).
struct LabPlanes {
    LargeBuffer buffer;
    PixelChannels channels;
};
LabPlanes planesFromLab(const cv::Mat_<cv::Vec3b>& lab);

// The three components of each pixel, rounded to float; `allFinite` tells
// whether every sample is a finite number.
ChannelSet channelsFromImage(const cv::Mat_<cv::Vec3d>& image, bool& allFinite);

// Gaussian smoothing of each channel, skipped when it would change nothing.
void smoothChannels(ChannelSet& channels, float sigma, bool allFinite);

// The channel images as the edge builder reads them.
PixelChannels planesOf(const ChannelSet& channels);

// The pixel graph, sorted by sortGraph into edge numbers and weight runs.
// With few distinct weights (photos), buildGraph only counts them and
// sortGraph writes each edge straight to its place. Otherwise buildGraph
// stores 64-bit keys in `edges` and sortGraph sorts them with `spare` as
// scratch, then splits them into edge numbers (in `edges`) and runs (in
// `spare`).
struct EdgeGraph {
    int32_t width = 0;
    int32_t height = 0;
    int64_t edgeCount = 0;
    LargeBuffer edges;
    LargeBuffer spare;
    LargeBuffer forest;
    bool placed = false;
    WeightCounts weightCounts;  // for placing; its runs are the graph's
    int64_t runCount = 0;

    int32_t pixelCount() const { return width * height; }
    SortedEdges sorted() const;
};

EdgeGraph buildGraph(const PixelChannels& channels, int32_t width, int32_t height);

// Sorts the graph. The channels must still be there.
void sortGraph(EdgeGraph& graph, const PixelChannels& channels);

// Merges segments greedily; the forest lives in the graph's `forest`.
SegmentForest mergeGraph(EdgeGraph& graph, float threshold, int capDivisor, const int32_t* regions);

// Absorbs segments below the minimum size, then releases the edges.
void absorbSmall(EdgeGraph& graph, SegmentForest& forest);

// Re-creates `labels` at the graph's size and numbers the segments.
void labelSegments(const EdgeGraph& graph, SegmentForest& forest, cv::Mat_<int>& labels);

}  // namespace segmora
