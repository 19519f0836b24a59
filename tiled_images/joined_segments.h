#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segmora {

// The local segments of every tile as one union-find, by dense ids (a tile's segments
// follow those of the tiles before it): the merge and the clean-up of the join run over it
// with whole segments' sizes, thresholds and regions at each root.
class JoinedSegments {
  public:
    void add(int64_t size, float threshold, int32_t region, uint64_t firstPixel);
    uint64_t count() const { return parent.size(); }

    uint64_t findRoot(uint64_t x) {
        while (parent[x] != x) {
            const uint64_t grand = parent[parent[x]];
            parent[x] = grand;
            x = grand;
        }
        return x;
    }

    // The one-piece merge rule on the edge of `weight` between the segments of a and b.
    void merge(uint64_t a, uint64_t b, float weight, float threshold, int64_t sizeCap);
    // The clean-up rule: joined when either side is below `minSize`.
    void absorb(uint64_t a, uint64_t b, int64_t minSize);

    // Label of each segment: 1 + the rank of its whole segment's first pixel among those of
    // all whole segments, in the image's raster order; returns the superpixel count.
    int64_t numbered(std::vector<int64_t>& labels);

    // Bytes held per segment.
    static constexpr size_t kBytesPerSegment = 2 * sizeof(uint64_t) + sizeof(int64_t) + 8;

  private:
    uint64_t unite(uint64_t x, uint64_t y);

    std::vector<uint64_t> parent;
    std::vector<int64_t> size;
    std::vector<float> threshold;
    std::vector<int32_t> region;
    std::vector<uint64_t> firstPixel;
};

}  // namespace segmora
