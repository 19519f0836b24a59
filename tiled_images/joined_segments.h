#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "huge_page_vectors.h"

namespace segmora {

// The local segments of every tile as one union-find, by dense ids (a tile's segments
// follow those of the tiles before it): the merge and the clean-up of the join run over it
// with whole segments' sizes, thresholds and regions at each root, all of a segment's data
// in one entry of 32 bytes, so that a root's tests read one cache line.
class JoinedSegments {
  public:
    // Room for `segments` in all, so that adding them moves nothing.
    void reserve(uint64_t segments);
    void add(int64_t size, float threshold, int32_t region, uint64_t firstPixel);
    uint64_t count() const { return nodes.size(); }

    uint64_t findRoot(uint64_t x) {
        while (nodes[x].parent != x) {
            const uint64_t grand = nodes[nodes[x].parent].parent;
            nodes[x].parent = grand;
            x = grand;
        }
        return x;
    }

    void prefetch(uint64_t x) const { __builtin_prefetch(&nodes[x]); }

    // The one-piece merge rule on the edge of `weight` between the segments of a and b.
    void merge(uint64_t a, uint64_t b, float weight, float threshold, int64_t sizeCap);
    // The clean-up rule: joined when either side is below `minSize`.
    void absorb(uint64_t a, uint64_t b, int64_t minSize);

    // Numbers the whole segments: 1 + the rank of each one's first pixel among those of all,
    // in the image's raster order; returns the superpixel count. Merges end here.
    int64_t rankRoots();
    // Once numbered: the label of a segment.
    int64_t labelOf(uint64_t segment) { return nodes[findRoot(segment)].size; }

    // Bytes held per segment.
    static constexpr size_t kBytesPerSegment = 32;

  private:
    struct Node {
        uint64_t parent;
        int64_t size;  // after rankRoots: the label
        float threshold;
        int32_t region;
        uint64_t firstPixel;  // in the image's raster order; a root's: the least of its own
    };
    static_assert(sizeof(Node) == kBytesPerSegment, "a node a half cache line");

    uint64_t unite(uint64_t x, uint64_t y);

    HugeVector<Node> nodes;
};

}  // namespace segmora
