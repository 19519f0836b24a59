#pragma once

#include <cstdint>

#include "edge_keys.h"

namespace segmora {

// One pixel's entry in the merging forest. Everything the merge tests read
// about a segment sits at its root, in one cache line.
struct SegmentNode {
    int32_t parent;
    int32_t size;  // at a root: pixels in the segment; after numbering: -label
    float threshold;
    int32_t rank;
};

// Union-by-rank forest with path halving. The roots (and so every
// partition) are those of the plain one-link-compression forest: only
// the ranks decide which root survives a union.
class SegmentForest {
public:
    SegmentForest(SegmentNode* nodes, int32_t count, float threshold);

    int32_t findRoot(int32_t x) {
        while (nodes[x].parent != x) {
            const int32_t grand = nodes[nodes[x].parent].parent;
            nodes[x].parent = grand;
            x = grand;
        }
        return x;
    }

    // Merges the sets of distinct roots x and y; returns the surviving root.
    int32_t uniteRoots(int32_t x, int32_t y) {
        SegmentNode& nx = nodes[x];
        SegmentNode& ny = nodes[y];
        --setCount;
        if (nx.rank > ny.rank) {
            ny.parent = x;
            nx.size += ny.size;
            return x;
        }
        nx.parent = y;
        ny.size += nx.size;
        if (nx.rank == ny.rank) ++ny.rank;
        return y;
    }

    void prefetch(int32_t x) const { __builtin_prefetch(&nodes[x], 1); }

    SegmentNode* nodes;
    int32_t setCount;
};

struct MergeRules {
    float threshold;
    int32_t sizeCap;
    const int32_t* regions;  // region id per pixel, or null when all are equal
};

// Greedy merging over the sorted keys under the adaptive threshold, the size
// cap and the region rule.
void mergeSegments(SegmentForest& forest, const EdgeKey* keys, int64_t count,
                   const NeighbourOffsets& neighbours, const MergeRules& rules);

// Joins every segment below `minSize` pixels across the first key that
// leaves it; `smallScratch` needs room for (pixels + 63) / 64 words.
void absorbSmallSegments(SegmentForest& forest, int32_t pixelCount, const EdgeKey* keys,
                         int64_t count, const NeighbourOffsets& neighbours, int32_t minSize,
                         uint64_t* smallScratch);

// Writes label 1, 2, ... per segment in raster order of first pixels.
void numberSegments(SegmentForest& forest, int32_t* labels, int32_t pixelCount);

}  // namespace segmora
