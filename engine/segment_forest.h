#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "large_buffer.h"

namespace segmora {

// What the merge tests read about a segment, kept at its root.
struct SegmentData {
    int32_t size;  // pixels in the segment; after numbering: -label
    float threshold;
};

// The root of x among parent links (a root links to itself), every link on the way
// pointed at its grandparent (path halving).
inline int32_t findRootHalving(int32_t* parent, int32_t x) {
    while (parent[x] != x) {
        const int32_t grand = parent[parent[x]];
        parent[x] = grand;
        x = grand;
    }
    return x;
}

// The root of x, found with reads only, each link read as one whole word: threads
// may search at once while others point elements straight at their roots (a link
// only ever moves up its own tree, so either value leads to the same root).
inline int32_t findRootShared(const int32_t* parent, int32_t x) {
    for (int32_t up = __atomic_load_n(&parent[x], __ATOMIC_RELAXED); up != x;
         up = __atomic_load_n(&parent[x], __ATOMIC_RELAXED)) {
        x = up;
    }
    return x;
}

// Points every element of [begin, end) straight at its root; parts of the
// forest may be pointed on several threads at once (see findRootShared).
inline void pointAtRoots(int32_t* parent, int64_t begin, int64_t end) {
    for (auto v = static_cast<int32_t>(begin); v < end; ++v) {
        __atomic_store_n(&parent[v], findRootShared(parent, v), __ATOMIC_RELAXED);
    }
}

// Union-by-size forest with path halving over a dense parent array (the
// root searches touch nothing else). Which element is a segment's root never
// shows in a result: every test reads per-segment data only. The forest owns
// its memory, a block of the pool it was made from. One spare element past
// the last, its own root and in no set, takes the writes of a merge that does
// not happen, so that merging need not branch on it.
class SegmentForest {
  public:
    // Bytes of forest per element: a parent link and the segment data.
    static constexpr size_t kBytesPerElement = sizeof(int32_t) + sizeof(SegmentData);
    static size_t bytesFor(int32_t count) {
        return (static_cast<size_t>(count) + 1) * kBytesPerElement;
    }

    SegmentForest() = default;
    // `count` singleton sets, each with `threshold`, written by up to `threads`
    // threads (fresh memory is cleared by the system as it is first written).
    SegmentForest(BlockPool& pool, int32_t count, float threshold, int threads = 1);

    int32_t findRoot(int32_t x) { return findRootHalving(parent, x); }

    // The same root, found with two links taken without a test: most elements
    // are at most two links from their root, and then the one test left is
    // predictable. x is pointed at its grandparent on the way.
    int32_t findRootNear(int32_t x) {
        const int32_t up = parent[x];
        const int32_t grand = parent[up];
        parent[x] = grand;
        return parent[grand] == grand ? grand : findRoot(grand);
    }

    // Merges the sets of distinct roots x and y; returns the surviving root.
    int32_t uniteRoots(int32_t x, int32_t y) {
        --setCount;
        if (data[x].size > data[y].size) std::swap(x, y);
        parent[x] = y;
        data[y].size += data[x].size;
        return y;
    }

    int32_t* parent = nullptr;
    SegmentData* data = nullptr;
    int32_t setCount = 0;
    int32_t spare = 0;  // the spare element

  private:
    LargeBuffer memory;
};

}  // namespace segmora
