#pragma once

#include <cstdint>

#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"
#include "tile_shape.h"
#include "workspace.h"

namespace segmora {

// What a tiled merge did: the edges the tiles handed to the second pass (kept
// or on a seam) out of those the tiles went through, and where the tiles
// stopped when they kept too much (the rest then went through the one-piece
// merge; `stoppedAt` is the edge count when they did not stop).
struct TiledMergeReport {
    int64_t edges = 0;
    int64_t visited = 0;  // sorted edges the tiles went through
    int64_t secondPass = 0;
    int64_t stoppedAt = 0;
    int tiles = 0;
};

// The tiles stop, and the one-piece merge takes the rest, once more than this
// share of the edges they went through waits for the second pass: above it the
// serial second pass and the tiles' lists cost what the threads gain (smooth,
// enlarged photos; docs/performance.md).
constexpr double kMostSecondPassShare = 0.04;

// Exactly the merges of mergeSegments (same partition, sizes and thresholds),
// made tile by tile on up to `threads` threads, then a second pass over the
// edges the tiles could not decide (docs/contributing/tiled-merge.md says why
// the two agree). `mostShare`: see kMostSecondPassShare; the share is looked
// at every `stretch` edges (0: the engine's choice).
TiledMergeReport mergeSegmentsTiled(SegmentForest& forest, const SortedGraph& graph,
                                    const Parameters& parameters, const int32_t* regions,
                                    TileShape tile, int threads,
                                    double mostShare = kMostSecondPassShare, int64_t stretch = 0);

// mergeSegmentsTiled on the workspace's tiles (none named: the engine's choice
// when kTilesByDefault, else one piece) and threads, or mergeSegments.
void mergeSegmentsIn(SegmentForest& forest, const SortedGraph& graph, const Parameters& parameters,
                     const int32_t* regions, const Workspace& workspace);

// The tile shape the engine takes by itself for a width x height photo on
// `threads` threads: one band of rows per thread when the photo is large
// enough to gain from it, else empty.
TileShape automaticTileShape(int32_t width, int32_t height, int threads);

// Photos from this many pixels on are merged in tiles by the engine's choice.
constexpr int64_t kTiledFromPixels = int64_t{1} << 21;

// Whether a call that names no tiles takes the engine's choice (automaticTileShape)
// or one piece. On: with one band per thread found run by run and decided straight
// from those lists, a 12-MP photo's merge on 2 threads takes about two thirds of the
// one-piece merge's wall time (docs/performance.md has the figures).
constexpr bool kTilesByDefault = true;

}  // namespace segmora
