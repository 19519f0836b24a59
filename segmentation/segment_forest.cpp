#include "segment_forest.h"

#include <vector>

#include "parallel.h"

namespace segmora {

namespace {

// How many edges ahead the forest entries of an edge are fetched.
constexpr int64_t kPrefetchDistance = 24;

}  // namespace

SegmentForest::SegmentForest(void* memory, int32_t count, float threshold)
    : parent(static_cast<int32_t*>(memory)),
      data(reinterpret_cast<SegmentData*>(parent + count)),
      setCount(count) {
    for (int32_t i = 0; i < count; ++i) parent[i] = i;
    for (int32_t i = 0; i < count; ++i) data[i] = SegmentData{1, threshold};
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

namespace {

bool isMarked(const uint64_t* bits, int32_t v) {
    return (bits[v >> 6] >> (v & 63)) & 1;
}

// Marks the pixels whose segment is below `minSize`, pointing every pixel
// straight at its root on the way.
void markSmallSegments(SegmentForest& forest, int32_t pixelCount, int32_t minSize, uint64_t* bits) {
    for (int32_t word = 0; word < (pixelCount + 63) / 64; ++word) bits[word] = 0;
    for (int32_t v = 0; v < pixelCount; ++v) {
        const int32_t root = forest.findRoot(v);
        forest.parent[v] = root;
        if (forest.data[root].size < minSize) bits[v >> 6] |= uint64_t{1} << (v & 63);
    }
}

// The edges with an endpoint in a marked (small) segment, in order. A segment
// of minSize or more only grows, so an edge between two pixels that both
// started in such segments can never merge. The scan runs on all threads.
std::vector<uint32_t> edgesTouchingMarked(const uint32_t* edges, int64_t count,
                                          const NeighbourOffsets& neighbours,
                                          const uint64_t* marks) {
    const int parts = partsForItems(count);
    std::vector<std::vector<uint32_t>> found(static_cast<size_t>(parts));
    runInParts(parts, count, [&](int part, int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            if (isMarked(marks, edgeFirstVertex(edges[i])) ||
                isMarked(marks, edgeSecondVertex(edges[i], neighbours))) {
                found[part].push_back(edges[i]);
            }
        }
    });
    for (int part = 1; part < parts; ++part) {
        found[0].insert(found[0].end(), found[part].begin(), found[part].end());
    }
    return std::move(found[0]);
}

}  // namespace

void absorbSmallSegments(SegmentForest& forest, int32_t pixelCount, const SortedEdges& sorted,
                         const NeighbourOffsets& neighbours, int32_t minSize,
                         uint64_t* smallScratch) {
    markSmallSegments(forest, pixelCount, minSize, smallScratch);
    const SegmentData* data = forest.data;
    for (const uint32_t edge :
         edgesTouchingMarked(sorted.edges, sorted.count, neighbours, smallScratch)) {
        const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
        const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (ra != rb && (data[ra].size < minSize || data[rb].size < minSize)) {
            forest.uniteRoots(ra, rb);
        }
    }
}

void numberSegments(SegmentForest& forest, int32_t* labels, int32_t pixelCount) {
    SegmentData* data = forest.data;
    int32_t nextLabel = 1;
    for (int32_t v = 0; v < pixelCount; ++v) {
        const int32_t root = forest.findRoot(v);
        if (data[root].size > 0) data[root].size = -nextLabel++;
        labels[v] = -data[root].size;
    }
}

}  // namespace segmora
