#pragma once

#include <cstdint>

#include "edge_keys.h"
#include "edge_sort.h"
#include "large_buffer.h"
#include "pixel_channels.h"
#include "workspace.h"

namespace segmora {

// The two forms the pixel graph takes on its way to merging.

// Stored form: one 64-bit key per edge (weight bits above the edge number) in
// construction order. Graphs with too many distinct weights to count (e.g.
// smoothed or arbitrary doubles) are stored and then sorted.
struct StoredKeys {
    LargeBuffer keys;
    int64_t count = 0;
};

// Sorted form: 32-bit edge numbers in ascending weight order (equal weights
// in construction order), cut into runs of equal weight. This is what the
// merging and the clean-up read.
struct SortedGraph {
    int32_t width = 0;
    int32_t height = 0;
    LargeBuffer edges;  // uint32_t per edge
    LargeBuffer runs;   // WeightRun per run
    int64_t edgeCount = 0;
    int64_t runCount = 0;

    int32_t pixelCount() const { return width * height; }
    SortedEdges view() const {
        return SortedEdges{edges.as<uint32_t>(), edgeCount, runs.as<WeightRun>(), runCount};
    }
};

// The sorted graph of a non-empty image. With few distinct weights (photos)
// the weights are only counted and each edge number is written straight to
// its place; otherwise the keys are stored, sorted and split.
SortedGraph sortedGraphOf(const PixelChannels& channels, int32_t width, int32_t height,
                          const Workspace& workspace);

// The two ways there, one step each (sortedGraphOf picks one).
SortedGraph placeCountedEdges(const PixelChannels& channels, int32_t width, int32_t height,
                              WeightCounts& counts, const Workspace& workspace);
StoredKeys storeEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height,
                         const Workspace& workspace);
// Sorts the keys and splits them into edge numbers and runs; the keys are used up.
SortedGraph sortStoredKeys(StoredKeys keys, int32_t width, int32_t height,
                           const Workspace& workspace);

}  // namespace segmora
