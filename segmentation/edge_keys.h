#pragma once

#include <cstdint>
#include <cstring>

namespace segmora {

// An edge of the pixel graph packed into 64 bits: the weight's bit pattern
// above the edge number (pixel * 4 + direction). Non-negative floats order
// like their bit patterns, and edge numbers grow in construction order, so
// ascending keys give ascending weights with ties in construction order.
using EdgeKey = uint64_t;

// Directions of the four edges a pixel produces, in construction order.
enum EdgeDirection : uint32_t { kRight, kBelow, kBelowRight, kAboveRight };

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

// Vertex offsets of the neighbour in each direction for an image `width` wide.
struct NeighbourOffsets {
    explicit NeighbourOffsets(int32_t width) : offset{1, width, width + 1, 1 - width} {}
    int32_t offset[4];
};

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

// The three channel planes of an image, each row-major and contiguous.
struct PixelChannels {
    const float* planes[3] = {nullptr, nullptr, nullptr};
};

// Writes the keys of all edges of a width x height image in construction
// order; returns the count.
int64_t buildEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height, EdgeKey* keys);

}  // namespace segmora
