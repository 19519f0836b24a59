#include "edge_keys.h"

#include <cmath>
#include <utility>
#include <vector>

namespace segmora {

namespace {

struct Planes {
    const float* c0;
    const float* c1;
    const float* c2;

    float distance(int32_t p, int32_t q) const {
        const float d0 = c0[p] - c0[q];
        const float d1 = c1[p] - c1[q];
        const float d2 = c2[p] - c2[q];
        return std::sqrt((d0 * d0 + d1 * d1) + d2 * d2);
    }
};

// Keys of one row's pixels; `above`/`below` say whether those rows exist.
EdgeKey* rowKeys(const Planes& planes, int32_t width, int32_t y, bool above, bool below,
                 EdgeKey* out) {
    const int32_t first = y * width;
    for (int32_t x = 0; x < width - 1; ++x) {
        const int32_t a = first + x;
        const uint32_t edge = static_cast<uint32_t>(a) * 4;
        *out++ = makeEdgeKey(planes.distance(a, a + 1), edge + kRight);
        if (below) {
            *out++ = makeEdgeKey(planes.distance(a, a + width), edge + kBelow);
            *out++ = makeEdgeKey(planes.distance(a, a + width + 1), edge + kBelowRight);
        }
        if (above) *out++ = makeEdgeKey(planes.distance(a, a - width + 1), edge + kAboveRight);
    }
    const int32_t last = first + width - 1;
    if (below) *out++ = makeEdgeKey(planes.distance(last, last + width), uint32_t(last) * 4 + kBelow);
    return out;
}

constexpr int kDigitBits = 11;
constexpr int kDigits = 3;  // 33 bits cover the 32 weight bits
constexpr size_t kBuckets = size_t{1} << kDigitBits;

int digitOf(EdgeKey key, int pass) {
    return static_cast<int>((key >> (32 + pass * kDigitBits)) & (kBuckets - 1));
}

}  // namespace

int64_t buildEdgeKeys(const float* c0, const float* c1, const float* c2, int32_t width,
                      int32_t height, EdgeKey* keys) {
    if (width <= 0 || height <= 0) return 0;
    const Planes planes{c0, c1, c2};
    EdgeKey* out = keys;
    for (int32_t y = 0; y < height; ++y) out = rowKeys(planes, width, y, y > 0, y < height - 1, out);
    return out - keys;
}

EdgeKey* sortEdgeKeys(EdgeKey* keys, EdgeKey* scratch, int64_t count) {
    std::vector<int64_t> histogram(kDigits * kBuckets, 0);
    for (int64_t i = 0; i < count; ++i) {
        for (int pass = 0; pass < kDigits; ++pass) ++histogram[pass * kBuckets + digitOf(keys[i], pass)];
    }
    EdgeKey* from = keys;
    EdgeKey* to = scratch;
    for (int pass = 0; pass < kDigits; ++pass) {
        int64_t* counts = &histogram[pass * kBuckets];
        bool single = false;
        for (size_t d = 0; d < kBuckets; ++d) single = single || counts[d] == count;
        if (single) continue;  // every key has the same digit: nothing moves
        int64_t start = 0;
        for (size_t d = 0; d < kBuckets; ++d) start += std::exchange(counts[d], start);
        for (int64_t i = 0; i < count; ++i) to[counts[digitOf(from[i], pass)]++] = from[i];
        std::swap(from, to);
    }
    return from;
}

}  // namespace segmora
