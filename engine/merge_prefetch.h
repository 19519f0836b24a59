#pragma once

#include <cstdint>

#include "grid_edges.h"

namespace segmora {

// How many edges ahead the forest entries of an edge are fetched.
constexpr int64_t kPrefetchDistance = 24;

// Fetches the links of the edge far ahead of edge i, and their parents' (by
// then in cache) and segment data a little nearer: most roots are one link
// away. The caller makes sure that i + 2 * kPrefetchDistance < the edge count.
// Always inlined: GCC drops a call whose only effects are prefetches.
template <class Data>
[[gnu::always_inline]] inline void prefetchAhead(const int32_t* parent, const Data* data,
                                                 const uint32_t* edges, int64_t i,
                                                 const NeighbourOffsets& neighbours) {
    const uint32_t far = edges[i + 2 * kPrefetchDistance];
    __builtin_prefetch(&parent[edgeFirstVertex(far)], 1);
    __builtin_prefetch(&parent[edgeSecondVertex(far, neighbours)], 1);
    const uint32_t near = edges[i + kPrefetchDistance];
    const int32_t pa = parent[edgeFirstVertex(near)];
    const int32_t pb = parent[edgeSecondVertex(near, neighbours)];
    __builtin_prefetch(&parent[pa], 1);
    __builtin_prefetch(&parent[pb], 1);
    __builtin_prefetch(&data[pa], 1);
    __builtin_prefetch(&data[pb], 1);
}

}  // namespace segmora
