#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "channel_planes.h"
#include "sorted_graph.h"

namespace segmora {

class WeightIds;

// The edges of an image sorted by counting, in two passes. The first computes
// every weight once, numbers the distinct weights of each block of rows in a
// small table and keeps each edge's 16-bit weight id; the second reads the ids
// back and writes each edge number straight to its place in ascending weight
// order (equal weights in construction order). Photos have a few thousand
// distinct weights, so the tables stay in cache and no weight is computed or
// looked up twice.
struct CountedEdges {
    int32_t width = 0;
    int32_t height = 0;
    int threads = 1;                          // the blocks are split between so many threads
    std::vector<int64_t> firstRows;           // block b: rows firstRows[b] .. firstRows[b + 1] - 1
    std::vector<std::vector<uint32_t>> next;  // [block][weight id]: next place of such an edge
    std::vector<WeightRun> runs;              // ascending weights, with the end of each
};

// Bytes of weight ids per edge that countEdges needs.
constexpr size_t kWeightIdBytes = sizeof(uint16_t);

// Edges in one block of rows at most (a block is at least a row), however few threads
// count them: a block of a photo this large (a 4096 x 2048 stretch) still has fewer
// distinct weights than ids, where a whole 4096 x 4096 tile may have more.
constexpr int64_t kMostCountedBlockEdges = int64_t{1} << 25;

// The first pass over a non-empty image, on up to `threads` threads (as many consecutive
// blocks of rows each, of at most `mostBlockEdges` edges): fills `ids` (kWeightIdBytes per
// edge) and `counted`, numbering the weights of block b in tables[b] (tables left from an
// earlier call are cleared and reused; more are added as needed). False when a block has
// more distinct weights than ids: such graphs are sorted by their keys instead.
bool countEdges(const PixelChannels& channels, int32_t width, int32_t height, int threads,
                uint16_t* ids, CountedEdges& counted, std::vector<WeightIds>& tables,
                int64_t mostBlockEdges = kMostCountedBlockEdges);

// The second pass: the edge numbers in sorted order, into `sorted` (room for
// every edge). Uses up counted.next.
void placeCountedEdges(const uint16_t* ids, CountedEdges& counted, uint32_t* sorted);

}  // namespace segmora
