#pragma once

#include <cstdint>
#include <vector>

#include "edge_keys.h"
#include "weight_table.h"

namespace segmora {

// Sorts keys (made in construction order) ascending on up to `threads` threads, using
// `scratch` (room for `count` keys); returns whichever of the two arrays holds the result.
// A stable radix sort over the weight bits, so equal weights stay in
// construction order. Graphs with few distinct weights never get here:
// countEdgeWeights and placeEdges sort those without materialised keys.
EdgeKey* sortEdgeKeys(EdgeKey* keys, EdgeKey* scratch, int64_t count, int threads);

// A stretch of edges of equal weight in the sorted order.
struct WeightRun {
    float weight;
    uint32_t end;  // one past the run's last edge
};

// Edge numbers in ascending weight order (equal weights in construction
// order), cut into runs of equal weight.
struct SortedEdges {
    const uint32_t* edges;
    int64_t count;
    const WeightRun* runs;
    int64_t runCount;
};

// Turns keys sorted in place into edge numbers (written over the start of
// the same array) and their runs; returns the run count. `runs` needs room
// for `count` runs.
int64_t splitSortedKeys(EdgeKey* sorted, int64_t count, WeightRun* runs);

// Where the edges of each block of rows go in ascending order, by weight.
struct WeightCounts {
    std::vector<int64_t> firstRows;  // block b covers rows firstRows[b] .. firstRows[b + 1] - 1
    WeightTable ranks;               // weight bits -> rank among the distinct weights
    std::vector<std::vector<int64_t>> starts;  // [block][rank]: next place of such an edge
    std::vector<WeightRun> runs;               // [rank]
};

// Counts the edge weights of an image without storing the edges, on up to `threads`
// threads; false when they take too many distinct values for a counting sort. The blocks
// of rows it cuts are the ones placeEdges then works on, one thread each.
bool countEdgeWeights(const PixelChannels& channels, int32_t width, int32_t height,
                      WeightCounts& counts, int threads);

// Computes the edges again and writes each edge number straight to its
// place in ascending weight order: the sorted edges without a sort. The
// runs are counts.runs. `counts.starts` is used up.
void placeEdges(const PixelChannels& channels, int32_t width, int32_t height, WeightCounts& counts,
                uint32_t* sorted);

}  // namespace segmora
