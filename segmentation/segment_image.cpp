#include "segment_image.h"

#include <functional>

#include "segmentation_checks.h"
#include "segmentation_pipeline.h"

namespace segmora {

namespace {

// Builds and sorts the graph of the channels, then calls `release` (the
// channels are not needed any more), merges and labels.
void segmentChannels(const PixelChannels& channels, int32_t width, int32_t height,
                     const std::function<void()>& release, float threshold, int capDivisor,
                     const int32_t* regions, int& segmentCount, cv::Mat_<int>& labels) {
    if (width == 0 || height == 0) {  // no pixels, no planes to read
        release();
        segmentCount = 0;
        labels.create(height, width);
        return;
    }
    EdgeGraph graph = buildGraph(channels, width, height);
    sortGraph(graph, channels);
    release();
    SegmentForest forest = mergeGraph(graph, threshold, capDivisor, regions);
    absorbSmall(graph, forest);
    segmentCount = forest.setCount;
    labelSegments(graph, forest, labels);
}

// The region ids as one contiguous array, copied only when the matrix is not.
const int32_t* contiguousRegions(const cv::Mat_<int>& regions, cv::Mat_<int>& copy) {
    if (regions.empty()) return nullptr;
    if (regions.isContinuous()) return regions.ptr<int32_t>();
    copy = regions.clone();
    return copy.ptr<int32_t>();
}

}  // namespace

void segmentImage(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold, int& segmentCount,
                  cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>& constraints) {
    checkSegmentationInput(image.rows, image.cols, capDivisor,
                           constraints.empty() ? nullptr : &constraints);
    bool allFinite = true;
    ChannelSet channels = channelsFromImage(image, allFinite);
    smoothChannels(channels, sigma, allFinite);
    cv::Mat_<int> regionCopy;
    segmentChannels(
        planesOf(channels), image.cols, image.rows,
        [&] {
            for (auto& channel : channels) channel.reset();
        },
        threshold, capDivisor, contiguousRegions(constraints, regionCopy), segmentCount, labels);
}

void segmentLabImage(const cv::Mat_<cv::Vec3b>& lab, float threshold, int& segmentCount,
                     cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>* constraints) {
    checkSegmentationInput(lab.rows, lab.cols, capDivisor, constraints);
    LabPlanes planes = planesFromLab(lab);
    cv::Mat_<int> regionCopy;
    const int32_t* regions =
        constraints != nullptr ? contiguousRegions(*constraints, regionCopy) : nullptr;
    segmentChannels(
        planes.channels, lab.cols, lab.rows, [&] { planes.buffer.release(); }, threshold,
        capDivisor, regions, segmentCount, labels);
}

}  // namespace segmora
