#pragma once

#include <cstdint>

#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"

namespace segmora {

// Largest segment a merge may produce: pixelCount / capDivisor + 20.
int32_t sizeCapFor(int32_t pixelCount, int32_t capDivisor);

// Greedy merging over the sorted edges under the adaptive threshold, the size
// cap (parameters.capDivisor resolved) and the region rule: `regions` holds a
// region id per pixel, or is null when all are equal.
void mergeSegments(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                   const int32_t* regions);

}  // namespace segmora
