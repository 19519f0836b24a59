#pragma once

#include <cstdint>

#include "grid_edges.h"

namespace segmora {

// How many edges ahead the forest entries of an edge are fetched.
constexpr int64_t kPrefetchDistance = 24;

// Fetches the links of the two ends of `edge`.
[[gnu::always_inline]] inline void prefetchLinks(const int32_t* parent, uint32_t edge,
                                                 const NeighbourOffsets& neighbours) {
    __builtin_prefetch(&parent[edgeFirstVertex(edge)], 1);
    __builtin_prefetch(&parent[edgeSecondVertex(edge, neighbours)], 1);
}

// Reads the links of the two ends of `edge` (by then in cache) and fetches what they
// point at, links and segment data: most roots are one link away.
template <class Data>
[[gnu::always_inline]] inline void prefetchLinked(const int32_t* parent, const Data* data,
                                                  uint32_t edge,
                                                  const NeighbourOffsets& neighbours) {
    const int32_t pa = parent[edgeFirstVertex(edge)];
    const int32_t pb = parent[edgeSecondVertex(edge, neighbours)];
    __builtin_prefetch(&parent[pa], 1);
    __builtin_prefetch(&parent[pb], 1);
    __builtin_prefetch(&data[pa], 1);
    __builtin_prefetch(&data[pb], 1);
}

// Fetches the links of the edge far ahead of edge i, and their parents' (by
// then in cache) and segment data a little nearer: most roots are one link
// away. The caller makes sure that i + 2 * kPrefetchDistance < the edge count.
// Always inlined: GCC drops a call whose only effects are prefetches.
template <class Data>
[[gnu::always_inline]] inline void prefetchAhead(const int32_t* parent, const Data* data,
                                                 const uint32_t* edges, int64_t i,
                                                 const NeighbourOffsets& neighbours) {
    prefetchLinks(parent, edges[i + 2 * kPrefetchDistance], neighbours);
    prefetchLinked(parent, data, edges[i + kPrefetchDistance], neighbours);
}

}  // namespace segmora
