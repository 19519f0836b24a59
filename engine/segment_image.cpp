#include "segment_image.h"

#include <functional>

#include "edge_graph.h"
#include "input_channels.h"
#include "label_matrix.h"
#include "segment_forest.h"
#include "segment_merging.h"
#include "segment_numbering.h"
#include "segmentation_checks.h"
#include "segmora/segmora.h"
#include "small_segments.h"

namespace segmora {

namespace {

// Builds and sorts the graph of the channels, then calls `release` (the
// channels are not needed any more), merges, cleans up and labels. Each
// stage gives back what the next ones no longer need, so that the pool
// hands it on: the forest takes the channels' block, and the labels the
// start of the edges' block when the workspace says so.
void segmentChannels(const PixelChannels& channels, int32_t width, int32_t height,
                     const std::function<void()>& release, float threshold, int capDivisor,
                     const int32_t* regions, const Workspace& workspace, int& segmentCount,
                     cv::Mat_<int>& labels) {
    if (width == 0 || height == 0) {  // no pixels, no planes to read
        release();
        segmentCount = 0;
        labels.create(height, width);
        return;
    }
    SortedGraph graph = sortedGraphOf(channels, width, height, workspace);
    release();
    const int32_t pixels = graph.pixelCount();
    const NeighbourOffsets neighbours(width);
    SegmentForest forest(workspace.pool, pixels, threshold);
    mergeSegments(forest, graph.view(), neighbours,
                  MergeRules{threshold, sizeCapFor(pixels, capDivisor), regions});
    {
        LargeBuffer smallPixels(workspace.pool, (static_cast<size_t>(pixels) + 63) / 64 * 8);
        absorbSmallSegments(forest, pixels, graph.view(), neighbours, kMinSegmentSize,
                            smallPixels.as<uint64_t>(), workspace.threads);
    }
    segmentCount = forest.setCount;
    LargeBuffer none;
    labels = labelMatrixIn(workspace.labelsInSpentEdges ? graph.edges : none, height, width);
    graph = SortedGraph();
    numberSegments(forest, labels.ptr<int32_t>(), pixels);
}

// The region ids as one contiguous array, copied only when the matrix is not.
const int32_t* contiguousRegions(const cv::Mat_<int>* regions, cv::Mat_<int>& copy) {
    if (regions == nullptr || regions->empty()) return nullptr;
    if (regions->isContinuous()) return regions->ptr<int32_t>();
    copy = regions->clone();
    return copy.ptr<int32_t>();
}

void segmentPlanes(ChannelPlanes planes, int32_t width, int32_t height, float threshold,
                   int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                   const cv::Mat_<int>* constraints, const Workspace& workspace) {
    cv::Mat_<int> regionCopy;
    const int32_t* regions = contiguousRegions(constraints, regionCopy);
    segmentChannels(
        planes.channels, width, height, [&] { planes.buffer.release(); }, threshold, capDivisor,
        regions, workspace, segmentCount, labels);
}

}  // namespace

void segmentImage(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold, int& segmentCount,
                  cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>& constraints,
                  const Workspace& workspace) {
    checkSegmentationInput(image.rows, image.cols, capDivisor,
                           constraints.empty() ? nullptr : &constraints);
    bool allFinite = true;
    ChannelSet channels = channelsFromImage(image, allFinite, workspace.pool);
    smoothChannels(channels, sigma, allFinite, workspace.pool);
    cv::Mat_<int> regionCopy;
    segmentChannels(
        planesOf(channels), image.cols, image.rows,
        [&] {
            for (auto& channel : channels) channel.reset();
        },
        threshold, capDivisor, contiguousRegions(&constraints, regionCopy), workspace, segmentCount,
        labels);
}

void segmentLabImage(const cv::Mat_<cv::Vec3b>& lab, float threshold, int& segmentCount,
                     cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>* constraints,
                     const Workspace& workspace) {
    checkSegmentationInput(lab.rows, lab.cols, capDivisor, constraints);
    segmentPlanes(planesFromLab(lab, workspace.pool), lab.cols, lab.rows, threshold, segmentCount,
                  labels, capDivisor, constraints, workspace);
}

void segmentBgrPhoto(const cv::Mat& bgr, float threshold, int& segmentCount, cv::Mat_<int>& labels,
                     int capDivisor, const cv::Mat_<int>* constraints, const Workspace& workspace) {
    checkSegmentationInput(bgr.rows, bgr.cols, capDivisor, constraints);
    segmentPlanes(planesFromPhoto(bgr, workspace.pool), bgr.cols, bgr.rows, threshold, segmentCount,
                  labels, capDivisor, constraints, workspace);
}

}  // namespace segmora
