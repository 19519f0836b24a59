#pragma once

#include <cstdint>

#include "channel_planes.h"
#include "edge_weights.h"
#include "grid_edges.h"
#include "sorted_graph.h"

namespace segmora {

// An edge of the pixel graph packed into 64 bits: the weight's bit pattern
// above the edge number (pixel * 4 + direction). Non-negative floats order
// like their bit patterns, and edge numbers grow in construction order, so
// ascending keys give ascending weights with ties in construction order.
using EdgeKey = uint64_t;

// Every NaN sorts last, in construction order.
inline EdgeKey makeEdgeKey(float weight, uint32_t edge) {
    return (EdgeKey{weightBits(weight)} << 32) | edge;
}

inline float keyWeight(EdgeKey key) {
    return weightOfBits(static_cast<uint32_t>(key >> 32));
}

inline uint32_t keyEdge(EdgeKey key) {
    return static_cast<uint32_t>(key);
}

inline int32_t keyFirstVertex(EdgeKey key) {
    return edgeFirstVertex(keyEdge(key));
}
inline int32_t keySecondVertex(EdgeKey key, const NeighbourOffsets& neighbours) {
    return edgeSecondVertex(keyEdge(key), neighbours);
}

// Writes the keys of all edges of a width x height image in construction
// order on up to `threads` threads; returns the count.
int64_t buildEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height, EdgeKey* keys,
                      int threads);

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
