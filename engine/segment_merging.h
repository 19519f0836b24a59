#pragma once

#include <cstdint>

#include "edge_numbers.h"
#include "segment_forest.h"
#include "sorted_edges.h"

namespace segmora {

// Largest segment a merge may produce: pixelCount / capDivisor + 20.
int32_t sizeCapFor(int32_t pixelCount, int32_t capDivisor);

struct MergeRules {
    float threshold;
    int32_t sizeCap;
    const int32_t* regions;  // region id per pixel, or null when all are equal
};

// Greedy merging over the sorted edges under the adaptive threshold, the size
// cap and the region rule.
void mergeSegments(SegmentForest& forest, const SortedEdges& sorted,
                   const NeighbourOffsets& neighbours, const MergeRules& rules);

}  // namespace segmora
