#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "block_pool.h"
#include "huge_page_vectors.h"
#include "large_buffer.h"
#include "segment_forest.h"
#include "sorted_graph.h"

namespace segmora {

// What the tile's merge reads about a segment, at its root: its size and threshold as the
// one-piece merge keeps them. A segment is settled while no seam edge of its pixels and no
// kept edge has been reached; an unsettled one has its threshold's sign bit set (thresholds
// are never below 0), which joins nothing more in the tile and leaves its value as it was.
struct TileSegment {
    int32_t size;
    float threshold;
};

// A seam edge's place among the tile's sorted inner edges, where the segment of its pixel
// in the tile stops being settled.
struct SeamEvent {
    uint32_t place;
    int32_t pixel;
};

inline bool settled(const TileSegment& segment) {
    return !std::signbit(segment.threshold);
}
inline void unsettle(TileSegment& segment) {
    segment.threshold = std::copysign(segment.threshold, -1.0f);
}

// Union by size with path halving over the tile's pixels, a root's data in one array
// entry as the one-piece forest's, the region ids (null: none) beside it.
class TileForest {
  public:
    // Every pixel its own segment of `threshold`, without seam edges.
    TileForest(BlockPool& pool, int32_t pixels, float threshold, const int32_t* regions);

    int32_t findRoot(int32_t x) { return findRootHalving(parent, x); }

    int32_t* parent = nullptr;
    TileSegment* segment = nullptr;
    const int32_t* regions;

  private:
    LargeBuffer segments, parents;
};

// An inner edge left to joinTiles: its place in the sorted edges and the roots of its ends
// (which never join again in the tile).
struct KeptEdge {
    uint32_t place;
    int32_t a, b;
};

// The tile's merge over its sorted inner edges (the tile taken as an image `width` wide):
// joins what the one-piece merge joins between settled segments, rejects what it rejects
// for sure, keeps the rest (docs/contributing/tiles-beyond-memory.md says why), in a list
// whose blocks come from `pool`. Starts at the sorted edge `first` (those before it are
// decided); `events` ascending by place.
HugeVector<KeptEdge> mergeTile(TileForest& forest, const SortedEdges& sorted, int32_t width,
                               float threshold, int64_t sizeCap, int64_t first,
                               const std::vector<SeamEvent>& events, BlockPool& pool);

// After a flat sweep: joins the sides of every inner edge of weight 0 (they come first)
// between pixels of one region but those `apart(edge)` says the cap keeps apart, whatever
// the sizes; returns how many sorted edges that decided.
int64_t uniteFlatEdges(TileForest& forest, const SortedEdges& sorted, int32_t width,
                       float threshold, const std::function<bool(uint32_t edge)>& apart);

}  // namespace segmora
