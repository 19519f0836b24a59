#pragma once

#include <cstdint>

#include "edge_numbers.h"
#include "edge_weights.h"
#include "pixel_channels.h"

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

}  // namespace segmora
