#include "segment_merging.h"

#include "edge_numbers.h"

namespace segmora {

namespace {

// How many edges ahead the forest entries of an edge are fetched.
constexpr int64_t kPrefetchDistance = 24;

}  // namespace

int32_t sizeCapFor(int32_t pixelCount, int32_t capDivisor) {
    return static_cast<int32_t>(static_cast<double>(pixelCount) / static_cast<double>(capDivisor) +
                                20.0);
}

void mergeSegments(SegmentForest& forest, const SortedEdges& sorted,
                   const NeighbourOffsets& neighbours, const MergeRules& rules) {
    const uint32_t* edges = sorted.edges;
    const int64_t count = sorted.count;
    const int32_t* parent = forest.parent;
    SegmentData* data = forest.data;
    const WeightRun* run = sorted.runs;
    for (int64_t i = 0; i < count; ++i) {
        // Fetch the links of an edge far ahead, and their parents' (by then
        // in cache) a little nearer: most roots are one link away.
        if (i + 2 * kPrefetchDistance < count) {
            const uint32_t far = edges[i + 2 * kPrefetchDistance];
            forest.prefetchParent(edgeFirstVertex(far));
            forest.prefetchParent(edgeSecondVertex(far, neighbours));
        }
        if (i + kPrefetchDistance < count) {
            const uint32_t near = edges[i + kPrefetchDistance];
            const int32_t pa = parent[edgeFirstVertex(near)];
            const int32_t pb = parent[edgeSecondVertex(near, neighbours)];
            forest.prefetchParent(pa);
            forest.prefetchParent(pb);
            __builtin_prefetch(&data[pa], 1);
            __builtin_prefetch(&data[pb], 1);
        }
        while (run->end <= i) ++run;
        const uint32_t edge = edges[i];
        const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
        const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (ra == rb) continue;
        const float weight = run->weight;
        if (!(weight <= data[ra].threshold) || !(weight <= data[rb].threshold)) continue;
        if (data[ra].size + data[rb].size > rules.sizeCap) continue;
        if (rules.regions != nullptr && rules.regions[ra] != rules.regions[rb]) continue;
        const int32_t root = forest.uniteRoots(ra, rb);
        data[root].threshold = rules.threshold / static_cast<float>(data[root].size) + weight;
    }
}

}  // namespace segmora
