#include "small_segments.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "grid_edges.h"
#include "key_sort.h"
#include "parallel.h"

namespace segmora {

namespace {

bool isMarked(const uint64_t* bits, int32_t v) {
    return (bits[v >> 6] >> (v & 63)) & 1;
}

// Marks the pixels whose segment is below `minSize`, pointing every pixel
// straight at its root on the way, on up to `threads` threads (each with
// whole words of marks).
void markSmallSegments(SegmentForest& forest, int32_t pixelCount, int32_t minSize, uint64_t* bits,
                       int threads) {
    const int64_t words = (int64_t{pixelCount} + 63) / 64;
    runInParts(partsForItems(pixelCount, threads), words, [&](int, int64_t begin, int64_t end) {
        const int64_t last = std::min<int64_t>(end * 64, pixelCount);
        pointAtRoots(forest.parent, begin * 64, last);
        for (int64_t word = begin; word < end; ++word) {
            uint64_t marks = 0;
            for (int64_t v = word * 64; v < std::min(word * 64 + 64, last); ++v) {
                const bool small = forest.data[forest.parent[v]].size < minSize;
                marks |= uint64_t{small} << (v & 63);
            }
            bits[word] = marks;
        }
    });
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

// Word i of the result: the 64 bits of `bits` from bit 64 * i + shift on
// (`shift` may be negative), with zeros outside.
uint64_t shiftedWord(const uint64_t* bits, int64_t words, int64_t i, int64_t shift) {
    const int64_t first = 64 * i + shift;
    const int64_t word = first >= 0 ? first / 64 : -((-first + 63) / 64);
    const int bit = static_cast<int>(first - 64 * word);
    const auto at = [&](int64_t k) { return k >= 0 && k < words ? bits[k] : uint64_t{0}; };
    return bit == 0 ? at(word) : (at(word) >> bit) | (at(word + 1) << (64 - bit));
}

// The pixels that own (make) an edge with an end in a marked pixel: the marked
// ones and those whose right, below, below-right or above-right neighbour is.
std::vector<uint64_t> edgeOwnersOf(const uint64_t* marks, int64_t pixels, int32_t width) {
    const int64_t words = (pixels + 63) / 64;
    std::vector<uint64_t> owners(static_cast<size_t>(words));
    const int64_t shifts[] = {1, width, int64_t{width} + 1, 1 - int64_t{width}};
    for (int64_t i = 0; i < words; ++i) {
        uint64_t word = marks[i];
        for (const int64_t shift : shifts) word |= shiftedWord(marks, words, i, shift);
        owners[i] = word;
    }
    if (pixels % 64 != 0) owners.back() &= (uint64_t{1} << (pixels % 64)) - 1;  // no pixels there
    return owners;
}

// The keys of the edges with an end in a marked pixel whose owners lie in
// owners' words [begin, end), written to `keys` in construction order (only
// counted when `keys` is null); returns how many.
int64_t writeKeysAroundMarked(const uint64_t* marks, const uint64_t* owners, int64_t begin,
                              int64_t end, int32_t width, int32_t height,
                              const PhotoEdgeWeights& weightOf, EdgeKey* keys) {
    const NeighbourOffsets neighbours(width);
    int64_t count = 0;
    for (int64_t i = begin; i < end; ++i) {
        for (uint64_t word = owners[i]; word != 0; word &= word - 1) {
            const int32_t u = static_cast<int32_t>(64 * i + __builtin_ctzll(word));
            const int32_t x = u % width, y = u / width;
            const bool exists[4] = {x < width - 1, y < height - 1, x < width - 1 && y < height - 1,
                                    x < width - 1 && y > 0};
            static constexpr int32_t kRowStep[4] = {0, 1, 1, -1}, kColumnStep[4] = {1, 0, 1, 1};
            float atU[3];
            bool converted = false;
            for (uint32_t direction = kRight; direction <= kAboveRight; ++direction) {
                const int32_t v = u + neighbours.offset[direction];
                if (!exists[direction] || !(isMarked(marks, u) || isMarked(marks, v))) continue;
                if (keys == nullptr) {
                    ++count;
                    continue;
                }
                if (!std::exchange(converted, true)) weightOf.channelsAt(y, x, atU);
                float atV[3];
                weightOf.channelsAt(y + kRowStep[direction], x + kColumnStep[direction], atV);
                keys[count++] = makeEdgeKey(PhotoEdgeWeights::between(atU, atV),
                                            static_cast<uint32_t>(u) * 4 + direction);
            }
        }
    }
    return count;
}

// Joins a small segment across each of the `count` edges in order (edgeOf
// gives an entry's edge number) that still leaves a segment below minSize.
template <class Entry, class EdgeOf>
void joinSmallSegments(SegmentForest& forest, const Entry* entries, int64_t count, EdgeOf edgeOf,
                       const NeighbourOffsets& neighbours, int32_t minSize, UnionLog* log) {
    const SegmentData* data = forest.data;
    for (int64_t k = 0; k < count; ++k) {
        const uint32_t edge = edgeOf(entries[k]);
        const int32_t ra = forest.findRoot(edgeFirstVertex(edge));
        const int32_t rb = forest.findRoot(edgeSecondVertex(edge, neighbours));
        if (ra != rb && (data[ra].size < minSize || data[rb].size < minSize)) {
            if (log != nullptr) log->add(edge, data[ra].size, data[rb].size);
            forest.uniteRoots(ra, rb);
        }
    }
}

}  // namespace

EdgeKeys::EdgeKeys(BlockPool& pool, const uint64_t* marks, int32_t width, int32_t height,
                   const PhotoEdgeWeights& weightOf, int threads) {
    const int64_t pixels = int64_t{width} * height;
    const std::vector<uint64_t> owners = edgeOwnersOf(marks, pixels, width);
    const auto words = static_cast<int64_t>(owners.size());
    const int parts = partsForItems(pixels, threads);
    // The parts count their keys, then write them one after another.
    std::vector<int64_t> start(static_cast<size_t>(parts) + 1);
    runInParts(parts, words, [&](int part, int64_t begin, int64_t end) {
        start[part + 1] = writeKeysAroundMarked(marks, owners.data(), begin, end, width, height,
                                                weightOf, nullptr);
    });
    for (int part = 0; part < parts; ++part) start[part + 1] += start[part];
    count = start[parts];
    const auto room = static_cast<size_t>(std::max<int64_t>(count, 1)) * sizeof(EdgeKey);
    LargeBuffer written(pool, room), scratch(pool, room);
    EdgeKey* const keys = written.as<EdgeKey>();
    runInParts(parts, words, [&](int part, int64_t begin, int64_t end) {
        writeKeysAroundMarked(marks, owners.data(), begin, end, width, height, weightOf,
                              keys + start[part]);
    });
    const EdgeKey* const sorted = sortEdgeKeys(keys, scratch.as<EdgeKey>(), count, threads);
    memory = std::move(sorted == keys ? written : scratch);
}

void absorbSmallSegments(SegmentForest& forest, const SortedGraph& graph,
                         const Parameters& parameters, const Workspace& workspace,
                         const PhotoEdgeWeights* photoWeights, UnionLog* log) {
    const int32_t pixelCount = graph.pixelCount();
    const int32_t minSize = parameters.minSize;
    const SortedEdges sorted = graph.view();
    const NeighbourOffsets neighbours(graph.width);
    const int threads = workspace.threads;
    LargeBuffer smallPixels(workspace.pool, (static_cast<size_t>(pixelCount) + 63) / 64 * 8);
    uint64_t* const smallScratch = smallPixels.as<uint64_t>();
    markSmallSegments(forest, pixelCount, minSize, smallScratch, threads);
    if (photoWeights != nullptr) {
        const EdgeKeys keys(workspace.pool, smallScratch, graph.width, graph.height,
                            *photoWeights, threads);
        joinSmallSegments(forest, keys.keys(), keys.count, keyEdge, neighbours, minSize, log);
        return;
    }
    const std::vector<uint32_t> touching =
        edgesTouchingMarked(sorted.edges, sorted.count, neighbours, smallScratch, threads);
    joinSmallSegments(forest, touching.data(), static_cast<int64_t>(touching.size()),
                      [](uint32_t edge) { return edge; }, neighbours, minSize, log);
}

}  // namespace segmora
