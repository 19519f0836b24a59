#pragma once

#include <cstdint>

#include "edge_keys.h"
#include "sorted_edges.h"

namespace segmora {

// Sorts keys (made in construction order) ascending on up to `threads` threads, using
// `scratch` (room for `count` keys); returns whichever of the two arrays holds the result.
// A stable radix sort over the weight bits, so equal weights stay in construction order.
// Photos never get here: their few distinct weights are sorted by counting.
EdgeKey* sortEdgeKeys(EdgeKey* keys, EdgeKey* scratch, int64_t count, int threads);

// Turns keys sorted in place into edge numbers (written over the start of
// the same array) and their runs; returns the run count. `runs` needs room
// for `count` runs.
int64_t splitSortedKeys(EdgeKey* sorted, int64_t count, WeightRun* runs);

}  // namespace segmora
