#pragma once

#include <cstdint>
#include <vector>

#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"
#include "union_log.h"

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
    std::vector<int32_t> finest;
    int32_t finestCount = 0;
    int32_t defaultCount = 0;
    int32_t coarsestCount = 0;
    std::vector<HierarchyStep> steps;  // finestCount - coarsestCount of them
};

// Every pair of touching superpixels (labels 1 .. count), the lightest edge between them
// (first in the sorted order) and the sum and number of the weights of all edges between
// them: what the coarser levels are made from.
struct TouchingPair {
    int32_t a;  // a < b, 0-based
    int32_t b;
    float weight;
    uint32_t edge;
    double weightSum;
    int64_t edges;
};
std::vector<TouchingPair> touchingPairs(const SortedGraph& graph, const int32_t* labels);

// The hierarchy of a run: its unions in order (`log`), its labels (1 .. count, raster order;
// 0: a pixel in no superpixel), the pairs that touch and each superpixel's region id (empty:
// one region).
MergeHierarchy buildHierarchy(const UnionLog& log, const int32_t* labels, int32_t count,
                              int32_t width, int32_t height, const std::vector<TouchingPair>& pairs,
                              const std::vector<int32_t>& regions);

// Each superpixel's region id: that of its root in `forest` after the clean-up, which lies in
// its one segment of minSize pixels or more from the merge when it has one (the clean-up
// joins only smaller ones to it). Empty without regions.
std::vector<int32_t> superpixelRegions(SegmentForest& forest, const int32_t* labels,
                                       int32_t pixels, int32_t count, const int32_t* regions);

// Leaves in `into` the hierarchy of a run recorded in `log`, whose labels (0: outside a mask)
// are numbered; gives back the forest and the graph as soon as they are read.
void recordHierarchy(const UnionLog& log, SegmentForest& forest, SortedGraph& graph,
                     const int32_t* labels, int32_t count, int32_t width, int32_t height,
                     const int32_t* regions, MergeHierarchy& into);

// Writes the labels of count N (1 .. N in raster order of first pixels) into `labels`
// (width * height of them) in time linear in the pixels. N must lie in coarsestCount ..
// finestCount (checked by the caller).
void cutHierarchy(const MergeHierarchy& hierarchy, int32_t count, int32_t* labels);

}  // namespace segmora
