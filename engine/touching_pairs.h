#pragma once

#include <cstdint>
#include <vector>

#include "sorted_graph.h"
#include "union_log.h"

namespace segmora {

// A pair of touching superpixels (labels 1 .. count), the lightest edge between them
// (first in the sorted order) and the sum and number of the weights of all edges between
// them, the sum taken in the sorted order: what the coarser levels are made from.
struct TouchingPair {
    int32_t a;  // a < b, 0-based
    int32_t b;
    float weight;
    uint32_t edge;
    double weightSum;
    int64_t edges;
};

// Every pair of touching superpixels of `labels` (0: a pixel in no superpixel, touching
// nothing), in the sorted order of their lightest edges. One walk along the sorted edges,
// the labels of the edges ahead fetched early, the pairs found through a flat table.
// With a `log` of the run that made the labels, the same walk leaves in `largeWeights` the
// weights of its marked merge unions in order (each lies inside one superpixel).
std::vector<TouchingPair> touchingPairs(const SortedGraph& graph, const int32_t* labels,
                                        int32_t count, const UnionLog* log = nullptr,
                                        std::vector<float>* largeWeights = nullptr);

}  // namespace segmora
