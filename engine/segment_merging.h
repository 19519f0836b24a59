#pragma once

#include <cstdint>

#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"
#include "union_log.h"

namespace segmora {

// Largest segment a merge may produce: pixelCount / capDivisor + 20.
int32_t sizeCapFor(int32_t pixelCount, int32_t capDivisor);

// Two loops make the same merges: one without a branch on the outcome, the
// faster while the forest is near the caches, and one with early exits, the
// faster on large photos (measured: 6.4 against 7.4 ms at 0.15 MP, even at
// 1 MP, 490 against 580 ms at 12 MP). BySize picks by the pixel count.
enum class MergeLoop { BySize, Branchless, WithBranches };
constexpr int32_t kBranchesFromPixels = 1 << 20;

// Greedy merging over the sorted edges under the adaptive threshold, the size
// cap (parameters.capDivisor resolved) and the region rule: `regions` holds a
// region id per pixel, or is null when all are equal. With a `log`, every union is
// recorded there in order, by either loop.
void mergeSegments(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                   const int32_t* regions, MergeLoop loop = MergeLoop::BySize,
                   UnionLog* log = nullptr);

// The merge of the edges of weight 0 alone, when the lightest weight is 0 (the
// first run; in construction order, so the fastest part of the merge); returns
// how many there are. mergeSegmentsFrom then takes the rest.
int64_t mergeZeroWeightEdges(SegmentForest& forest, const SortedGraph& graph,
                             const Parameters& parameters, const int32_t* regions);

// The same merge over the sorted edges from place `first` on, the forest
// holding the merges of the edges before it.
void mergeSegmentsFrom(SegmentForest& forest, const SortedGraph& graph,
                       const Parameters& parameters, const int32_t* regions, int64_t first);

}  // namespace segmora
