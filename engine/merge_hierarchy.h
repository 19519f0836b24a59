#pragma once

#include <cstdint>
#include <vector>

#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"
#include "touching_pairs.h"
#include "union_log.h"
#include "workspace.h"

namespace segmora {

// One step of a hierarchy: the parts holding finest superpixels a and b (0-based) join.
// `height`: the weight of the edge the step is made across.
struct HierarchyStep {
    int32_t a;
    int32_t b;
    float height;
};

// The superpixels of every count from one run (docs/knobs.md gives the definition).
// `finest` numbers each pixel's finest superpixel 0, 1, ... in raster order of first
// pixels (-1: a pixel in no superpixel, labelled 0 by every cut). Starting from the finest
// superpixels, the first finestCount - N steps give the superpixels of count N.
struct MergeHierarchy {
    int32_t width = 0;
    int32_t height = 0;
    cv::Mat_<int> finest;  // height x width
    int32_t finestCount = 0;
    int32_t defaultCount = 0;
    int32_t coarsestCount = 0;
    std::vector<HierarchyStep> steps;  // finestCount - coarsestCount of them
};

// Each superpixel's region id: that of its root in `forest` after the clean-up, which lies in
// its one segment of minSize pixels or more from the merge when it has one (the clean-up
// joins only smaller ones to it). Empty without regions.
std::vector<int32_t> superpixelRegions(SegmentForest& forest, const int32_t* labels,
                                       int32_t pixels, int32_t count, const int32_t* regions);

// Leaves in `into` the hierarchy of a run recorded in `log`, whose labels (0: outside a mask)
// are numbered, on up to workspace.threads threads (two at most); gives back the forest and
// the graph as soon as they are read. The finest numbering takes the start of the edges'
// block when the workspace says the labels may.
void recordHierarchy(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                     const int32_t* labels, int32_t count, int32_t width, int32_t height,
                     const int32_t* regions, const Workspace& workspace, MergeHierarchy& into);

// Turns the labels of a run recorded in `log` (`count` of them, 0 outside a mask) into the
// cut of its hierarchy at `wanted` without building the hierarchy: finer, a replay of the
// log's unions; coarser, the coarser merges of the labels up to that count. The same labels
// as cutHierarchy; uses up the forest and the graph. std::invalid_argument as
// checkCountInRange when `wanted` lies outside the hierarchy's range.
void cutRecordedRun(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                    int32_t* labels, int32_t count, int32_t width, int32_t height,
                    const int32_t* regions, int32_t wanted);

// Memory that the cut at `wanted` of a recorded run with `count` superpixels will not read,
// for its labels: a finer cut needs no edges, a coarser one no log (empty: the same count,
// or one outside the range, whose message needs both).
LargeBuffer spentForCut(UnionLog& log, SortedGraph& graph, int32_t count, int32_t wanted);

// After a recorded run whose labels are numbered in `result` (0 outside a mask): leaves its
// hierarchy in workspace.hierarchy, or else makes `result` the cut at workspace.cutCount.
void leaveHierarchy(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                    Segmentation& result, const int32_t* regions, const Workspace& workspace);

// std::invalid_argument naming the range when `count` lies outside coarsest .. finest.
void checkCountInRange(int32_t coarsest, int32_t finest, int32_t count);

// Writes the labels of count N (1 .. N in raster order of first pixels) into `labels`
// (width * height of them) in time linear in the pixels. N must lie in coarsestCount ..
// finestCount (checked by the caller).
void cutHierarchy(const MergeHierarchy& hierarchy, int32_t count, int32_t* labels);

}  // namespace segmora
