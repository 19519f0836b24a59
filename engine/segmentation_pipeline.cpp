#include "segmentation_pipeline.h"

#include <functional>
#include <optional>

#include "float_channels.h"
#include "label_matrix.h"
#include "merge_hierarchy.h"
#include "masked_segmentation.h"
#include "photo_lab_planes.h"
#include "segment_forest.h"
#include "segment_merging.h"
#include "segment_numbering.h"
#include "segmentation_checks.h"
#include "segmora/segmora.h"
#include "small_segments.h"
#include "smoothing.h"
#include "sorted_graph.h"
#include "tiled_merge.h"

namespace segmora {

namespace {

// Builds and sorts the graph of the channels, calling `release` as soon as
// the channels are not needed any more, then merges, cleans up and labels.
// `photoWeights`: the edge weights of the photo the channels came from, if so.
// Each stage gives back what the next ones no longer need, so that the pool
// hands it on (see sortedGraphOf), and the labels take the start of the
// edges' block when the workspace says so.
Segmentation segmentChannels(const PixelChannels& channels, int32_t width, int32_t height,
                             const std::function<void()>& release, const Parameters& parameters,
                             const int32_t* regions, const Workspace& workspace,
                             const PhotoEdgeWeights* photoWeights = nullptr) {
    Segmentation result;
    if (width == 0 || height == 0) {  // no pixels, no planes to read
        release();
        if (workspace.cutCount != 0) checkCountInRange(0, 0, workspace.cutCount);
        result.labels.create(height, width);
        return result;
    }
    if (workspace.mask != nullptr) {
        return segmentMaskedChannels(channels, width, height, workspace.mask, release, parameters,
                                     regions, workspace);
    }
    SortedGraph graph = sortedGraphOf(channels, width, height, release, workspace);
    const int32_t pixels = graph.pixelCount();
    SegmentForest forest(workspace.pool, pixels, parameters.threshold, workspace.threads);
    const bool recorded = workspace.hierarchy != nullptr || workspace.cutCount != 0;
    UnionLog log = recorded ? UnionLog(workspace.pool, parameters.minSize, pixels) : UnionLog();
    UnionLog* const record = recorded ? &log : nullptr;
    if (record != nullptr) {  // the tree is recorded by the one-piece merge
        mergeSegments(forest, graph, parameters, regions, MergeLoop::BySize, record);
    } else {
        mergeSegmentsIn(forest, graph, parameters, regions, workspace);
    }
    absorbSmallSegments(forest, graph, parameters, workspace, photoWeights, record);
    result.count = forest.setCount;
    if (record != nullptr) {  // the labels, then the hierarchy while the edges last
        LargeBuffer spent;
        if (workspace.hierarchy == nullptr && workspace.labelsInSpentEdges) {
            spent = spentForCut(log, graph, result.count, workspace.cutCount);
        }
        result.labels =
            workspace.labels != nullptr ? *workspace.labels : labelMatrixIn(spent, height, width);
        numberSegments(forest, result.labels.ptr<int32_t>(), pixels);
        leaveHierarchy(log, forest, graph, result, regions, workspace);
        return result;
    }
    LargeBuffer none;
    result.labels =
        workspace.labels != nullptr
            ? *workspace.labels
            : labelMatrixIn(workspace.labelsInSpentEdges ? graph.edges : none, height, width);
    graph = SortedGraph();
    numberSegments(forest, result.labels.ptr<int32_t>(), pixels);
    return result;
}

// The region ids as one contiguous array, copied only when the matrix is not.
const int32_t* contiguousRegions(const cv::Mat_<int>& regions, cv::Mat_<int>& copy) {
    if (regions.empty()) return nullptr;
    if (regions.isContinuous()) return regions.ptr<int32_t>();
    copy = regions.clone();
    return copy.ptr<int32_t>();
}

// Whether smoothing with `sigma` changes finite channels at all.
bool smoothingChangesPixels(float sigma) {
    GaussianMask mask = buildGaussianMask(sigma);
    normalizeMask(mask);
    return !isIdentityMask(mask);
}

Segmentation segmentChannelSet(ChannelSet& channels, int32_t width, int32_t height,
                               const Parameters& parameters, const cv::Mat_<int>& regions,
                               const Workspace& workspace) {
    cv::Mat_<int> regionCopy;
    return segmentChannels(
        planesOf(channels), width, height,
        [&] {
            for (auto& channel : channels) channel.reset();
        },
        parameters, contiguousRegions(regions, regionCopy), workspace);
}

}  // namespace

Segmentation segmentImage(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                          const cv::Mat_<int>& regions, const Workspace& workspace) {
    checkSegmentationInput(image.rows, image.cols, parameters, &regions);
    bool allFinite = true;
    ChannelSet channels = channelsFromImage(image, allFinite, workspace.pool);
    smoothChannels(channels, parameters.sigma, allFinite, workspace.pool);
    return segmentChannelSet(channels, image.cols, image.rows, parameters, regions, workspace);
}

Segmentation segmentBgrPhoto(const cv::Mat& bgr, const Parameters& parameters,
                             const cv::Mat_<int>& regions, const Workspace& workspace) {
    checkPhoto(bgr);
    checkSegmentationInput(bgr.rows, bgr.cols, parameters, &regions);
    std::optional<LabTables> ownTables;
    Workspace withTables = workspace;
    if (withTables.lab == nullptr) withTables.lab = &ownTables.emplace();
    const bool smoothing = smoothingChangesPixels(parameters.sigma);  // reads every pixel
    ChannelPlanes planes = planesFromPhoto(bgr, withTables, smoothing ? nullptr : workspace.mask);
    if (smoothing) {
        ChannelSet channels = channelsFromPlanes(planes, bgr.cols, bgr.rows, workspace.pool);
        planes.buffer.release();
        smoothChannels(channels, parameters.sigma, true, workspace.pool);
        return segmentChannelSet(channels, bgr.cols, bgr.rows, parameters, regions, workspace);
    }
    cv::Mat_<int> regionCopy;
    const PhotoEdgeWeights photoWeights(bgr, *withTables.lab);
    return segmentChannels(
        planes.channels, bgr.cols, bgr.rows, [&] { planes.buffer.release(); }, parameters,
        contiguousRegions(regions, regionCopy), workspace, &photoWeights);
}

}  // namespace segmora
