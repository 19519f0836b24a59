#include "tile_merge.h"

#include <algorithm>

#include "edge_weights.h"
#include "grid_edges.h"
#include "merge_prefetch.h"

namespace segmora {

namespace {

class TileMerge {
  public:
    TileMerge(TileForest& forest, float threshold, int64_t sizeCap, BlockPool* pool = nullptr)
        : kept(HugePageAllocator<KeptEdge>(pool)),
          parent(forest.parent),
          segment(forest.segment),
          regions(forest.regions),
          threshold(threshold),
          sizeCap(sizeCap) {}

    // Fetches the entries of the edges ahead, as the one-piece merge does, and the regions.
    [[gnu::always_inline]] void prefetchAhead(const uint32_t* edges, int64_t i,
                                              const NeighbourOffsets& neighbours) const {
        segmora::prefetchAhead(parent, segment, edges, i, neighbours);
        if (regions != nullptr) {
            const uint32_t near = edges[i + kPrefetchDistance];
            __builtin_prefetch(&regions[parent[edgeFirstVertex(near)]]);
            __builtin_prefetch(&regions[parent[edgeSecondVertex(near, neighbours)]]);
        }
    }

    void visit(uint32_t i, int32_t ra, int32_t rb, float weight) {
        if (ra == rb) return;
        TileSegment& sa = segment[ra];
        TileSegment& sb = segment[rb];
        const bool settledA = settled(sa), settledB = settled(sb);
        const int64_t size = int64_t{sa.size} + sb.size;
        const bool sameRegion = regions == nullptr || regions[ra] == regions[rb];
        if (settledA && settledB) {
            if (weight <= sa.threshold && weight <= sb.threshold && size <= sizeCap && sameRegion) {
                unite(ra, rb, weight);
            }
            return;
        }
        // Sizes only grow and a segment keeps its region: these rejections are final.
        if (size > sizeCap || !sameRegion) return;
        if ((settledA && !(weight <= sa.threshold)) || (settledB && !(weight <= sb.threshold))) {
            return;
        }
        kept.push_back({i, ra, rb});
        unsettle(sa);
        unsettle(sb);
    }

    HugeVector<KeptEdge> kept;
    int32_t* parent;
    TileSegment* segment;
    const int32_t* regions;

    // As SegmentForest::uniteRoots and the merge's threshold update, of settled segments.
    void unite(int32_t x, int32_t y, float weight) {
        if (segment[x].size > segment[y].size) std::swap(x, y);
        parent[x] = y;
        TileSegment& root = segment[y];
        root.size += segment[x].size;
        root.threshold = threshold / static_cast<float>(root.size) + weight;
    }

  private:
    float threshold;
    int64_t sizeCap;
};

}  // namespace

TileForest::TileForest(BlockPool& pool, int32_t pixels, float threshold, const int32_t* regions)
    : regions(regions),
      segments(pool, static_cast<size_t>(pixels) * sizeof(TileSegment)),
      parents(pool, static_cast<size_t>(pixels) * sizeof(int32_t)) {
    segment = segments.as<TileSegment>();
    parent = parents.as<int32_t>();
    for (int32_t v = 0; v < pixels; ++v) {
        parent[v] = v;
        segment[v] = TileSegment{1, threshold + 0.0f};  // +0, never -0: settled
    }
}

HugeVector<KeptEdge> mergeTile(TileForest& forest, const SortedEdges& sorted, int32_t width,
                               float threshold, int64_t sizeCap, int64_t first,
                               const std::vector<SeamEvent>& events, BlockPool& pool) {
    TileMerge merge(forest, threshold, sizeCap, &pool);
    const NeighbourOffsets neighbours(width);
    const uint32_t* edges = sorted.edges;
    const int64_t fetchedUpTo = sorted.count - 2 * kPrefetchDistance;
    size_t event = 0;
    int64_t i = first;
    for (int64_t r = 0; r < sorted.runCount; ++r) {
        if (sorted.runs[r].end <= first) continue;
        const float weight = sorted.runs[r].weight;
        while (i < sorted.runs[r].end) {
            // The seam edges reached unsettle their segments before edge i is visited.
            for (; event < events.size() && events[event].place <= i; ++event) {
                unsettle(forest.segment[forest.findRoot(events[event].pixel)]);
            }
            const int64_t stop = event < events.size()
                                     ? std::min<int64_t>(sorted.runs[r].end, events[event].place)
                                     : sorted.runs[r].end;
            for (; i < stop; ++i) {
                if (i < fetchedUpTo) merge.prefetchAhead(edges, i, neighbours);
                const uint32_t edge = edges[i];
                merge.visit(static_cast<uint32_t>(i), forest.findRoot(edgeFirstVertex(edge)),
                            forest.findRoot(edgeSecondVertex(edge, neighbours)), weight);
            }
        }
    }
    return std::move(merge.kept);
}

int64_t uniteFlatEdges(TileForest& forest, const SortedEdges& sorted, int32_t width,
                       float threshold, const std::function<bool(uint32_t edge)>& apart) {
    if (sorted.runCount == 0 || weightBits(sorted.runs[0].weight) != 0) return 0;
    TileMerge merge(forest, threshold, 0);
    const NeighbourOffsets neighbours(width);
    const int64_t end = sorted.runs[0].end;
    for (int64_t i = 0; i < end; ++i) {
        const uint32_t edge = sorted.edges[i];
        const int32_t a = forest.findRoot(edgeFirstVertex(edge));
        const int32_t b = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (a == b || (forest.regions != nullptr && forest.regions[a] != forest.regions[b]) ||
            apart(edge)) {
            continue;
        }
        merge.unite(a, b, 0.0f);
    }
    return end;
}

}  // namespace segmora
