#pragma once

#include <cstdint>
#include <cstring>

#include "pixel_channels.h"

namespace segmora {

// An edge of the pixel graph packed into 64 bits: the weight's bit pattern
// above the edge number (pixel * 4 + direction). Non-negative floats order
// like their bit patterns, and edge numbers grow in construction order, so
// ascending keys give ascending weights with ties in construction order.
using EdgeKey = uint64_t;

inline EdgeKey makeEdgeKey(float weight, uint32_t edge) {
    uint32_t bits;
    std::memcpy(&bits, &weight, sizeof bits);
    if (weight != weight) bits = 0x7fc00000u;  // every NaN sorts last, in construction order
    return (EdgeKey{bits} << 32) | edge;
}

inline float keyWeight(EdgeKey key) {
    const uint32_t bits = static_cast<uint32_t>(key >> 32);
    float weight;
    std::memcpy(&weight, &bits, sizeof weight);
    return weight;
}

inline uint32_t keyEdge(EdgeKey key) {
    return static_cast<uint32_t>(key);
}

// The two pixels of edge number `edge`.
inline int32_t edgeFirstVertex(uint32_t edge) {
    return static_cast<int32_t>(edge >> 2);
}
inline int32_t edgeSecondVertex(uint32_t edge, const NeighbourOffsets& neighbours) {
    return static_cast<int32_t>(edge >> 2) + neighbours.offset[edge & 3];
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
