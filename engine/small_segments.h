#pragma once

#include <cstdint>

#include "edge_numbers.h"
#include "segment_forest.h"
#include "sorted_edges.h"

namespace segmora {

// Joins every segment below `minSize` pixels across the first edge in sorted
// order that leaves it, scanning the edges on up to `threads` threads;
// `smallScratch` needs room for (pixelCount + 63) / 64 words.
void absorbSmallSegments(SegmentForest& forest, int32_t pixelCount, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, int32_t minSize,
                         uint64_t* smallScratch, int threads);

}  // namespace segmora
