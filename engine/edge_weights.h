#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "grid_edges.h"
#include "channel_planes.h"

namespace segmora {

// Colour distance of pixels p and q of the three planes, in single precision:
// sqrt((d0 * d0 + d1 * d1) + d2 * d2) with dc = plane c at p minus at q.
inline float distanceOfDifferences(float d0, float d1, float d2) {
    return std::sqrt((d0 * d0 + d1 * d1) + d2 * d2);
}
inline float pixelDistance(const PixelChannels& channels, int64_t p, int64_t q) {
    return distanceOfDifferences(channels.planes[0][p] - channels.planes[0][q],
                                 channels.planes[1][p] - channels.planes[1][q],
                                 channels.planes[2][p] - channels.planes[2][q]);
}

// The bit pattern a weight is ordered and told apart by: every NaN becomes
// one canonical quiet NaN, which orders after every other weight (the
// weights, sums of squares and their roots, are never negative).
inline uint32_t weightBits(float weight) {
    uint32_t bits;
    std::memcpy(&bits, &weight, sizeof bits);
    return weight != weight ? 0x7fc00000u : bits;
}

inline float weightOfBits(uint32_t bits) {
    float weight;
    std::memcpy(&weight, &bits, sizeof weight);
    return weight;
}

// Writes the weights of one row's edges direction by direction (the RowEdges
// layout) to `weights`, which needs room for row.count() floats. Several
// weights at a time where the processor allows, with the bits pixelDistance
// gives for each edge.
void rowEdgeWeights(const PixelChannels& channels, const RowEdges& row, float* weights);

}  // namespace segmora
