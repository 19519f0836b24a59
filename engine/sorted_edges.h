#pragma once

#include <cstdint>

namespace segmora {

// A stretch of edges of equal weight in the sorted order.
struct WeightRun {
    float weight;
    uint32_t end;  // one past the run's last edge
};

// Edge numbers in ascending weight order (equal weights in construction
// order), cut into runs of equal weight: what the merging and the clean-up
// read.
struct SortedEdges {
    const uint32_t* edges;
    int64_t count;
    const WeightRun* runs;
    int64_t runCount;
};

}  // namespace segmora
