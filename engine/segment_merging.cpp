#include "segment_merging.h"

#include <algorithm>
#include <vector>

#include "grid_edges.h"
#include "merge_prefetch.h"
#include "sorted_graph.h"

namespace segmora {

namespace {

struct MergeRules {
    float threshold;
    int32_t sizeCap;
    const int32_t* regions;  // region id per pixel, or null when all are equal
    // threshold / size for sizes up to twice the cap (the most two segments hold): the
    // same float divisions, made once. Empty when the cap is too large for a small table.
    std::vector<float> quotients;

    float quotient(int32_t size) const {
        return quotients.empty() ? threshold / static_cast<float>(size) : quotients[size];
    }
};

// Largest cap whose quotients are tabled: the table (at most 32 KB) then stays in cache.
constexpr int32_t kLargestTabledCap = 4096;

MergeRules rulesFor(const Parameters& parameters, int32_t pixelCount, const int32_t* regions) {
    MergeRules rules{
        parameters.threshold, sizeCapFor(pixelCount, parameters.capDivisor), regions, {}};
    if (rules.sizeCap <= kLargestTabledCap) {
        rules.quotients.resize(2 * static_cast<size_t>(rules.sizeCap) + 1);
        for (size_t size = 1; size < rules.quotients.size(); ++size) {
            rules.quotients[size] = rules.threshold / static_cast<float>(size);
        }
    }
    return rules;
}

// Record(edge, size a, size b) is called for every union about to be made; NoRecord
// records nothing.
struct NoRecord {
    void operator()(uint32_t, int32_t, int32_t) const {}
};
struct LogRecord {
    UnionLog* log;
    void operator()(uint32_t edge, int32_t a, int32_t b) const { log->add(edge, a, b); }
};

template <class Record = NoRecord>
int64_t mergeZeroWeights(SegmentForest& forest, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, const MergeRules& rules,
                         Record record = {});
void mergeRuns(SegmentForest& forest, const SortedEdges& sorted, const NeighbourOffsets& neighbours,
               const MergeRules& rules, int64_t first, UnionLog* log = nullptr);
template <class Record = NoRecord>
void mergeWithBranches(SegmentForest& forest, const SortedEdges& sorted,
                       const NeighbourOffsets& neighbours, const MergeRules& rules, int64_t first,
                       Record record = {});

}  // namespace

int32_t sizeCapFor(int32_t pixelCount, int32_t capDivisor) {
    return static_cast<int32_t>(static_cast<double>(pixelCount) / static_cast<double>(capDivisor) +
                                20.0);
}

void mergeSegments(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                   const int32_t* regions, MergeLoop loop, UnionLog* log) {
    const MergeRules rules = rulesFor(parameters, graph.pixelCount(), regions);
    if (loop == MergeLoop::BySize) {
        loop = graph.pixelCount() < kBranchesFromPixels ? MergeLoop::Branchless
                                                        : MergeLoop::WithBranches;
    }
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    if (log != nullptr) {  // the same unions, each recorded
        const int64_t first = mergeZeroWeights(forest, sorted, neighbours, rules, LogRecord{log});
        if (loop == MergeLoop::Branchless) {
            mergeRuns(forest, sorted, neighbours, rules, first, log);
        } else {
            mergeWithBranches(forest, sorted, neighbours, rules, first, LogRecord{log});
        }
        log->mergeUnions = log->count;
        return;
    }
    const int64_t first = mergeZeroWeights(forest, sorted, neighbours, rules);
    if (loop == MergeLoop::Branchless) {
        mergeRuns(forest, sorted, neighbours, rules, first);
    } else {
        mergeWithBranches(forest, sorted, neighbours, rules, first);
    }
}

int64_t mergeZeroWeightEdges(SegmentForest& forest, const SortedGraph& graph,
                             const Parameters& parameters, const int32_t* regions) {
    return mergeZeroWeights(forest, graph.view(), NeighbourOffsets(graph.width),
                            rulesFor(parameters, graph.pixelCount(), regions));
}

void mergeSegmentsFrom(SegmentForest& forest, const SortedGraph& graph,
                       const Parameters& parameters, const int32_t* regions, int64_t first) {
    const MergeRules rules = rulesFor(parameters, graph.pixelCount(), regions);
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    if (graph.pixelCount() < kBranchesFromPixels) {
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
template <class Record>
int64_t mergeZeroWeights(SegmentForest& forest, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, const MergeRules& rules,
                         Record record) {
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
        record(edge, data[ra].size, data[rb].size);
        const int32_t root = forest.uniteRoots(ra, rb);
        data[root].threshold = rules.quotient(data[root].size) + weight;
    }
    return end;
}

// The merge of one edge without a branch on its outcome: a merge that does not happen
// writes to the spare element. The tests read nothing that could fault. Everything the
// loop reads again is held in locals, so that the stores to the forest, which might
// alias them, do not make the compiler load them anew.
// What the loop below notes of each edge: nothing, or every union into a log, written
// whether or not the edge joins and kept only when it does.
struct NoNotes {
    void note(uint32_t, bool, int32_t, int32_t) {}
    void finish() {}
};
struct LogNotes {
    UnionLog* log;
    uint32_t* edges;
    uint64_t* bothLarge;
    int32_t minSize;
    int64_t count;
    int64_t large;

    explicit LogNotes(UnionLog* log)
        : log(log), edges(log->edges), bothLarge(log->bothLarge), minSize(log->minSize),
          count(log->count), large(log->largeCount) {}
    [[gnu::always_inline]] void note(uint32_t edge, bool joins, int32_t sizeA, int32_t sizeB) {
        edges[count] = edge;  // the log has room for one write past its last union
        const bool both = joins & (sizeA >= minSize) & (sizeB >= minSize);
        bothLarge[count >> 6] |= uint64_t{both} << (count & 63);
        large += both;
        count += joins;
    }
    void finish() {
        log->count = count;
        log->largeCount = large;
    }
};

template <bool kRegions, bool kTabled, class Notes>
struct BranchlessMerge {
    int32_t* parent;
    SegmentData* data;
    int32_t sizeCap;
    int32_t spare;
    float threshold;
    const float* quotients;
    const int32_t* regions;
    Notes notes;
    int32_t joined = 0;

    [[gnu::always_inline]] void operator()(SegmentForest& forest, uint32_t edge, int32_t a,
                                           int32_t b, float weight) {
        const int32_t ra = forest.findRootNear(a);
        const int32_t rb = forest.findRootNear(b);
        const SegmentData sa = data[ra], sb = data[rb];
        const int32_t size = sa.size + sb.size;
        bool joins =
            (ra != rb) & (weight <= sa.threshold) & (weight <= sb.threshold) & (size <= sizeCap);
        if (kRegions) joins &= regions[ra] == regions[rb];
        notes.note(edge, joins, sa.size, sb.size);
        // Union by size; on equal sizes the second root stays the root.
        const bool firstBelow = sa.size <= sb.size;
        const int32_t child = joins ? (firstBelow ? ra : rb) : spare;
        const int32_t root = joins ? (firstBelow ? rb : ra) : spare;
        parent[child] = root;
        const float quotient = kTabled ? quotients[size] : threshold / static_cast<float>(size);
        data[root] = SegmentData{joins ? size : 0, quotient + weight};
        joined += joins;
    }
};

template <bool kRegions, bool kTabled, class Notes>
void mergeRunsWith(SegmentForest& forest, const SortedEdges& sorted,
                   const NeighbourOffsets& neighbours, const MergeRules& rules, int64_t first,
                   Notes notes) {
    BranchlessMerge<kRegions, kTabled, Notes> merge{
        forest.parent,  forest.data,   rules.sizeCap, forest.spare, rules.threshold,
        rules.quotients.data(), rules.regions, notes};
    const uint32_t* edges = sorted.edges;
    const int64_t count = sorted.count;
    const WeightRun* run = sorted.runs;
    while (run->end <= first) ++run;
    // Up to `fetchedUpTo` every edge fetches ahead without a bounds test.
    const int64_t fetchedUpTo = std::max(first, count - 2 * kPrefetchDistance);
    int64_t i = first;
    for (; i < count; ++run) {
        const float weight = run->weight;
        const int64_t end = std::min<int64_t>(run->end, fetchedUpTo);
        for (; i < end; ++i) {
            prefetchAhead(forest.parent, forest.data, edges, i, neighbours);
            merge(forest, edges[i], edgeFirstVertex(edges[i]),
                  edgeSecondVertex(edges[i], neighbours), weight);
        }
        for (; i < run->end; ++i) {
            merge(forest, edges[i], edgeFirstVertex(edges[i]),
                  edgeSecondVertex(edges[i], neighbours), weight);
        }
    }
    forest.setCount -= merge.joined;
    merge.notes.finish();
}

template <class Notes>
void mergeRunsNoting(SegmentForest& forest, const SortedEdges& sorted,
                     const NeighbourOffsets& neighbours, const MergeRules& rules, int64_t first,
                     Notes notes) {
    const bool tabled = !rules.quotients.empty();
    if (rules.regions != nullptr) {
        (tabled ? mergeRunsWith<true, true, Notes>
                : mergeRunsWith<true, false, Notes>)(forest, sorted, neighbours, rules, first, notes);
    } else {
        (tabled ? mergeRunsWith<false, true, Notes>
                : mergeRunsWith<false, false, Notes>)(forest, sorted, neighbours, rules, first,
                                                      notes);
    }
}

void mergeRuns(SegmentForest& forest, const SortedEdges& sorted, const NeighbourOffsets& neighbours,
               const MergeRules& rules, int64_t first, UnionLog* log) {
    if (first >= sorted.count) return;
    if (log != nullptr) {
        mergeRunsNoting(forest, sorted, neighbours, rules, first, LogNotes(log));
    } else {
        mergeRunsNoting(forest, sorted, neighbours, rules, first, NoNotes());
    }
}

// The same merge with early exits: an edge inside one segment, or one that
// fails a test, costs no writes but the root searches'. Faster than the loop
// above once the forest is far larger than the caches.
template <class Record>
void mergeWithBranches(SegmentForest& forest, const SortedEdges& sorted,
                       const NeighbourOffsets& neighbours, const MergeRules& rules, int64_t first,
                       Record record) {
    const uint32_t* edges = sorted.edges;
    const int64_t count = sorted.count;
    SegmentData* data = forest.data;
    const WeightRun* run = sorted.runs;
    const int64_t fetchedUpTo = count - 2 * kPrefetchDistance;
    for (int64_t i = first; i < count; ++i) {
        if (i < fetchedUpTo) prefetchAhead(forest.parent, forest.data, edges, i, neighbours);
        while (run->end <= i) ++run;
        const uint32_t edge = edges[i];
        const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
        const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (ra == rb) continue;
        const float weight = run->weight;
        if (!(weight <= data[ra].threshold) || !(weight <= data[rb].threshold)) continue;
        if (data[ra].size + data[rb].size > rules.sizeCap) continue;
        if (rules.regions != nullptr && rules.regions[ra] != rules.regions[rb]) continue;
        record(edge, data[ra].size, data[rb].size);
        const int32_t root = forest.uniteRoots(ra, rb);
        data[root].threshold = rules.quotient(data[root].size) + weight;
    }
}

}  // namespace

}  // namespace segmora
