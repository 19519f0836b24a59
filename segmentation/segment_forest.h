#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "edge_keys.h"
#include "edge_sort.h"

namespace segmora {

// What the merge tests read about a segment, kept at its root.
struct SegmentData {
    int32_t size;  // pixels in the segment; after numbering: -label
    float threshold;
};

// Bytes of forest per pixel: a parent link and the segment data.
constexpr size_t kForestBytesPerPixel = sizeof(int32_t) + sizeof(SegmentData);

// Union-by-size forest with path halving over a dense parent array (the
// root searches touch nothing else). Which element is a segment's root never
// shows in a result: every test reads per-segment data only.
class SegmentForest {
  public:
    // `memory` holds count * kForestBytesPerPixel bytes.
    SegmentForest(void* memory, int32_t count, float threshold);

    int32_t findRoot(int32_t x) {
        while (parent[x] != x) {
            const int32_t grand = parent[parent[x]];
            parent[x] = grand;
            x = grand;
        }
        return x;
    }

    // Merges the sets of distinct roots x and y; returns the surviving root.
    int32_t uniteRoots(int32_t x, int32_t y) {
        --setCount;
        if (data[x].size > data[y].size) std::swap(x, y);
        parent[x] = y;
        data[y].size += data[x].size;
        return y;
    }

    void prefetchParent(int32_t x) const { __builtin_prefetch(&parent[x], 1); }

    int32_t* parent;
    SegmentData* data;
    int32_t setCount;
};

struct MergeRules {
    float threshold;
    int32_t sizeCap;
    const int32_t* regions;  // region id per pixel, or null when all are equal
};

// Greedy merging over the sorted keys under the adaptive threshold, the size
// cap and the region rule.
void mergeSegments(SegmentForest& forest, const SortedEdges& sorted,
                   const NeighbourOffsets& neighbours, const MergeRules& rules);

// Joins every segment below `minSize` pixels across the first edge that
// leaves it; `smallScratch` needs room for (pixels + 63) / 64 words.
void absorbSmallSegments(SegmentForest& forest, int32_t pixelCount, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, int32_t minSize,
                         uint64_t* smallScratch);

// Writes label 1, 2, ... per segment in raster order of first pixels.
void numberSegments(SegmentForest& forest, int32_t* labels, int32_t pixelCount);

}  // namespace segmora
