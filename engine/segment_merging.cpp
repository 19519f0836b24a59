#include "segment_merging.h"

#include "grid_edges.h"
#include "sorted_graph.h"

namespace segmora {

namespace {

// How many edges ahead the forest entries of an edge are fetched.
constexpr int64_t kPrefetchDistance = 24;

struct MergeRules {
    float threshold;
    int32_t sizeCap;
    const int32_t* regions;  // region id per pixel, or null when all are equal
};

// Fetches the links of the edge far ahead of edge i, and their parents' (by
// then in cache) and segment data a little nearer: most roots are one link
// away. Always inlined: GCC drops a call whose only effects are prefetches.
[[gnu::always_inline]] inline void prefetchAhead(const int32_t* parent, const SegmentData* data,
                                                 const uint32_t* edges, int64_t i, int64_t count,
                                                 const NeighbourOffsets& neighbours) {
    if (i + 2 * kPrefetchDistance < count) {
        const uint32_t far = edges[i + 2 * kPrefetchDistance];
        __builtin_prefetch(&parent[edgeFirstVertex(far)], 1);
        __builtin_prefetch(&parent[edgeSecondVertex(far, neighbours)], 1);
    }
    if (i + kPrefetchDistance < count) {
        const uint32_t near = edges[i + kPrefetchDistance];
        const int32_t pa = parent[edgeFirstVertex(near)];
        const int32_t pb = parent[edgeSecondVertex(near, neighbours)];
        __builtin_prefetch(&parent[pa], 1);
        __builtin_prefetch(&parent[pb], 1);
        __builtin_prefetch(&data[pa], 1);
        __builtin_prefetch(&data[pb], 1);
    }
}

int64_t mergeZeroWeights(SegmentForest& forest, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, const MergeRules& rules);
void mergeRuns(SegmentForest& forest, const SortedEdges& sorted, const NeighbourOffsets& neighbours,
               const MergeRules& rules, int64_t first);
void mergeWithBranches(SegmentForest& forest, const SortedEdges& sorted,
                       const NeighbourOffsets& neighbours, const MergeRules& rules, int64_t first);

}  // namespace

int32_t sizeCapFor(int32_t pixelCount, int32_t capDivisor) {
    return static_cast<int32_t>(static_cast<double>(pixelCount) / static_cast<double>(capDivisor) +
                                20.0);
}

void mergeSegments(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                   const int32_t* regions, MergeLoop loop) {
    const MergeRules rules{parameters.threshold,
                           sizeCapFor(graph.pixelCount(), parameters.capDivisor), regions};
    if (loop == MergeLoop::BySize) {
        loop = graph.pixelCount() < kBranchesFromPixels ? MergeLoop::Branchless
                                                        : MergeLoop::WithBranches;
    }
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    const int64_t first = mergeZeroWeights(forest, sorted, neighbours, rules);
    if (loop == MergeLoop::Branchless) {
        mergeRuns(forest, sorted, neighbours, rules, first);
    } else {
        mergeWithBranches(forest, sorted, neighbours, rules, first);
    }
}

namespace {

// The edges of weight 0, when the lightest weight is 0 (many neighbours of a photo have
// equal 8-bit colours), in their order; returns how many there are. Such an edge passes
// both thresholds, which are never below 0, so only the roots, the size cap and the
// regions decide, as they do in the loops below. The edges of one weight come in
// construction order, neighbours near one another: no fetching ahead.
int64_t mergeZeroWeights(SegmentForest& forest, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, const MergeRules& rules) {
    if (sorted.count == 0 || !(sorted.runs[0].weight == 0.0f)) return 0;
    const float weight = sorted.runs[0].weight;
    SegmentData* data = forest.data;
    const int64_t end = sorted.runs[0].end;
    for (int64_t i = 0; i < end; ++i) {
        const uint32_t edge = sorted.edges[i];
        const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
        const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (ra == rb || data[ra].size + data[rb].size > rules.sizeCap) continue;
        if (rules.regions != nullptr && rules.regions[ra] != rules.regions[rb]) continue;
        const int32_t root = forest.uniteRoots(ra, rb);
        data[root].threshold = rules.threshold / static_cast<float>(data[root].size) + weight;
    }
    return end;
}

void mergeRuns(SegmentForest& forest, const SortedEdges& sorted, const NeighbourOffsets& neighbours,
               const MergeRules& rules, int64_t first) {
    const uint32_t* edges = sorted.edges;
    const int64_t count = sorted.count;
    int32_t* parent = forest.parent;
    SegmentData* data = forest.data;
    int64_t i = first;
    const WeightRun* run = sorted.runs;
    while (i < count && run->end <= i) ++run;
    for (; i < count; ++run) {
        const float weight = run->weight;
        for (; i < run->end; ++i) {
            prefetchAhead(forest.parent, forest.data, edges, i, count, neighbours);
            const uint32_t edge = edges[i];
            const int32_t ra = forest.findRootNear(edgeFirstVertex(edge));
            const int32_t rb = forest.findRootNear(edgeSecondVertex(edge, neighbours));
            // Whether the edge merges decides no branch: a merge that does not
            // happen writes to the spare element. The tests read nothing that
            // could fault.
            const SegmentData sa = data[ra], sb = data[rb];
            const int32_t size = sa.size + sb.size;
            bool joins = (ra != rb) & (weight <= sa.threshold) & (weight <= sb.threshold) &
                         (size <= rules.sizeCap);
            if (rules.regions != nullptr) joins &= rules.regions[ra] == rules.regions[rb];
            // Union by size; on equal sizes the second root stays the root.
            const bool firstBelow = sa.size <= sb.size;
            const int32_t child = joins ? (firstBelow ? ra : rb) : forest.spare;
            const int32_t root = joins ? (firstBelow ? rb : ra) : forest.spare;
            parent[child] = root;
            data[root] =
                SegmentData{joins ? size : 0, rules.threshold / static_cast<float>(size) + weight};
            forest.setCount -= joins;
        }
    }
}

// The same merge with early exits: an edge inside one segment, or one that
// fails a test, costs no writes but the root searches'. Faster than the loop
// above once the forest is far larger than the caches.
void mergeWithBranches(SegmentForest& forest, const SortedEdges& sorted,
                       const NeighbourOffsets& neighbours, const MergeRules& rules, int64_t first) {
    const uint32_t* edges = sorted.edges;
    const int64_t count = sorted.count;
    SegmentData* data = forest.data;
    const WeightRun* run = sorted.runs;
    for (int64_t i = first; i < count; ++i) {
        prefetchAhead(forest.parent, forest.data, edges, i, count, neighbours);
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

}  // namespace

}  // namespace segmora
