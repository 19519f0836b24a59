#pragma once

#include <cstdint>
#include <vector>

#include "edge_keys.h"
#include "weight_table.h"

namespace segmora {

// Sorts keys (made in construction order) ascending, using `scratch` (room
// for `count` keys); returns whichever of the two arrays holds the result.
// A counting sort over the distinct weights when there are few of them, a
// radix sort over the weight bits otherwise; both keep equal weights in
// construction order.
EdgeKey* sortEdgeKeys(EdgeKey* keys, EdgeKey* scratch, int64_t count);

// Where the edges of each block of rows go in ascending order, by weight.
struct WeightCounts {
    std::vector<int64_t> firstRows;  // block b covers rows firstRows[b] .. firstRows[b + 1] - 1
    WeightTable ranks;               // weight bits -> rank among the distinct weights
    std::vector<std::vector<int64_t>> starts;  // [block][rank]: next place of such an edge
};

// Counts the edge weights of an image without storing the edges; false when
// they take too many distinct values for a counting sort.
bool countEdgeWeights(const PixelChannels& channels, int32_t width, int32_t height,
                      WeightCounts& counts);

// Computes the edges again and writes each key straight to its place in
// ascending order: the sorted keys without a sort.
// `counts` is used up.
void placeEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height,
                   WeightCounts& counts, EdgeKey* sorted);

}  // namespace segmora
