#pragma once

#include <cstdint>

namespace segmora {

// The three channel planes of an image, each row-major and contiguous.
struct PixelChannels {
    const float* planes[3] = {nullptr, nullptr, nullptr};
};

// Directions of the four edges a pixel produces, in construction order.
enum EdgeDirection : uint32_t { kRight, kBelow, kBelowRight, kAboveRight };

// Vertex offsets of the neighbour in each direction for an image `width` wide.
struct NeighbourOffsets {
    explicit NeighbourOffsets(int32_t width) : offset{1, width, width + 1, 1 - width} {}
    int32_t offset[4];
};

}  // namespace segmora
