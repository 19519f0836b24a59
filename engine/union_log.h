#pragma once

#include <cstdint>

#include "large_buffer.h"

namespace segmora {

// Every union of a run in the order it was made: the merge's first (`mergeUnions` of them),
// then the clean-up's. Each is named by the edge it was made across (the edge number in the
// whole photo, pixel * 4 + direction: with the weight, the edge key any engine that makes the
// same unions can give), and marked when both sets it joined held at least `minSize` pixels.
// The merge's unions, and the clean-up's, each come in the sorted order of the edges, so
// their weights are found again in one walk along it. Filled only when a caller asks for it;
// the plain run records nothing.
struct UnionLog {
    int32_t minSize = 0;
    uint32_t* edges = nullptr;
    uint64_t* bothLarge = nullptr;  // one bit per union
    int64_t count = 0;
    int64_t mergeUnions = 0;
    int64_t largeCount = 0;  // unions marked, kept when the memory is given back

    UnionLog() = default;
    // A log for a run with this minimum size and `pixels` pixels (at most one union fewer,
    // and room for one more write), in memory of `pool`.
    UnionLog(BlockPool& pool, int32_t minimumSize, int32_t pixels)
        : minSize(minimumSize),
          memory(pool, (static_cast<size_t>(pixels) / 64 + 1) * 8 +
                           (static_cast<size_t>(pixels) + 1) * 4) {
        const size_t words = static_cast<size_t>(pixels) / 64 + 1;
        bothLarge = memory.as<uint64_t>();
        for (size_t w = 0; w < words; ++w) bothLarge[w] = 0;
        edges = reinterpret_cast<uint32_t*>(bothLarge + words);
    }

    void add(uint32_t edge, int32_t sizeA, int32_t sizeB) {
        edges[count] = edge;
        const bool large = sizeA >= minSize && sizeB >= minSize;
        bothLarge[count >> 6] |= uint64_t{large} << (count & 63);
        largeCount += large;
        ++count;
    }
    bool isBothLarge(int64_t k) const { return (bothLarge[k >> 6] >> (k & 63)) & 1; }
    // Gives the memory back (to hold the labels, say); only largeCount is left.
    LargeBuffer release() {
        edges = nullptr;
        bothLarge = nullptr;
        count = mergeUnions = 0;
        return static_cast<LargeBuffer&&>(memory);
    }

  private:
    LargeBuffer memory;
};

}  // namespace segmora
