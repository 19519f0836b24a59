#include "edge_weights.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace segmora {

namespace {

// weights[i] = distance of pixel first + i to pixel first + i + offset, for i < n.
// Subtractions, products, sums and the square root are each rounded once in
// single precision, lane by lane, exactly as pixelDistance rounds them.
void distancesAlong(const PixelChannels& channels, int64_t first, int64_t offset, int32_t n,
                    float* weights) {
    const float* p0 = channels.planes[0] + first;
    const float* p1 = channels.planes[1] + first;
    const float* p2 = channels.planes[2] + first;
    int32_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4) {
        const __m128 d0 = _mm_sub_ps(_mm_loadu_ps(p0 + i), _mm_loadu_ps(p0 + i + offset));
        const __m128 d1 = _mm_sub_ps(_mm_loadu_ps(p1 + i), _mm_loadu_ps(p1 + i + offset));
        const __m128 d2 = _mm_sub_ps(_mm_loadu_ps(p2 + i), _mm_loadu_ps(p2 + i + offset));
        const __m128 sum =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(d0, d0), _mm_mul_ps(d1, d1)), _mm_mul_ps(d2, d2));
        _mm_storeu_ps(weights + i, _mm_sqrt_ps(sum));
    }
#endif
    for (; i < n; ++i) weights[i] = pixelDistance(channels, first + i, first + i + offset);
}

}  // namespace

void rowEdgeWeights(const PixelChannels& channels, const RowEdges& row, float* weights) {
    const int64_t first = int64_t{row.row} * row.width;
    const NeighbourOffsets neighbours(row.width);
    distancesAlong(channels, first, neighbours.offset[kRight], row.right, weights);
    weights += row.right;
    distancesAlong(channels, first, neighbours.offset[kBelow], row.below, weights);
    weights += row.below;
    distancesAlong(channels, first, neighbours.offset[kBelowRight], row.belowRight, weights);
    weights += row.belowRight;
    distancesAlong(channels, first, neighbours.offset[kAboveRight], row.aboveRight, weights);
}

}  // namespace segmora
