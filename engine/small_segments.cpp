#include "small_segments.h"

#include <vector>

#include "edge_numbers.h"
#include "parallel.h"

namespace segmora {

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
// started in such segments can never merge. The scan runs on up to `threads`
// threads.
std::vector<uint32_t> edgesTouchingMarked(const uint32_t* edges, int64_t count,
                                          const NeighbourOffsets& neighbours, const uint64_t* marks,
                                          int threads) {
    const int parts = partsForItems(count, threads);
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

void absorbSmallSegments(SegmentForest& forest, const SortedGraph& graph,
                         const Parameters& parameters, const Workspace& workspace) {
    const int32_t pixelCount = graph.pixelCount();
    const int32_t minSize = parameters.minSize;
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    const int threads = workspace.threads;
    LargeBuffer smallPixels(workspace.pool, (static_cast<size_t>(pixelCount) + 63) / 64 * 8);
    uint64_t* const smallScratch = smallPixels.as<uint64_t>();
    markSmallSegments(forest, pixelCount, minSize, smallScratch);
    const SegmentData* data = forest.data;
    for (const uint32_t edge :
         edgesTouchingMarked(sorted.edges, sorted.count, neighbours, smallScratch, threads)) {
        const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
        const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (ra != rb && (data[ra].size < minSize || data[rb].size < minSize)) {
            forest.uniteRoots(ra, rb);
        }
    }
}

}  // namespace segmora
