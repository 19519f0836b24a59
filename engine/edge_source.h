#pragma once

#include <cmath>
#include <cstdint>

#include "edge_keys.h"

namespace segmora {

// Distances between pixels of the three channel planes.
struct PlaneDistances {
    explicit PlaneDistances(const PixelChannels& channels)
        : c0(channels.planes[0]), c1(channels.planes[1]), c2(channels.planes[2]) {}

    const float* c0;
    const float* c1;
    const float* c2;

    float operator()(int32_t p, int32_t q) const {
        const float d0 = c0[p] - c0[q];
        const float d1 = c1[p] - c1[q];
        const float d2 = c2[p] - c2[q];
        return std::sqrt((d0 * d0 + d1 * d1) + d2 * d2);
    }
};

// Calls emit(weight, edgeNumber) for the edges of row y in construction
// order; `above`/`below` say whether those rows exist.
template <class Distances, class Emit>
void visitRowEdges(const Distances& distance, int32_t width, int32_t y, bool above, bool below,
                   Emit&& emit) {
    if (width <= 0) return;
    const int32_t first = y * width;
    for (int32_t x = 0; x < width - 1; ++x) {
        const int32_t a = first + x;
        const uint32_t edge = static_cast<uint32_t>(a) * 4;
        emit(distance(a, a + 1), edge + kRight);
        if (below) {
            emit(distance(a, a + width), edge + kBelow);
            emit(distance(a, a + width + 1), edge + kBelowRight);
        }
        if (above) emit(distance(a, a - width + 1), edge + kAboveRight);
    }
    const int32_t last = first + width - 1;
    if (below) emit(distance(last, last + width), static_cast<uint32_t>(last) * 4 + kBelow);
}

// Edges produced by the rows before `row` of a width x height image: right
// edges on every row, below and below-right edges on all rows but the last,
// above-right edges on all rows but the first.
inline int64_t edgesBeforeRow(int32_t width, int32_t height, int64_t row) {
    const int64_t w = width;
    const int64_t belowRows = row < height - 1 ? row : height - 1;
    const int64_t aboveRows = row > 1 ? row - 1 : 0;
    return row * (w - 1) + belowRows * (2 * w - 1) + aboveRows * (w - 1);
}

// Number of edges of a width x height image.
inline int64_t edgeCountFor(int32_t width, int32_t height) {
    return width <= 0 || height <= 0 ? 0 : edgesBeforeRow(width, height, height);
}

}  // namespace segmora
