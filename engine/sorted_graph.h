#pragma once

#include <cstdint>
#include <functional>

#include "channel_planes.h"
#include "large_buffer.h"
#include "workspace.h"

namespace segmora {

// A stretch of edges of equal weight in the sorted order.
struct WeightRun {
    float weight;
    uint32_t end;  // one past the run's last edge
};

// Edge numbers in ascending weight order (equal weights in construction
// order), cut into runs of equal weight: what the merging and the clean-up
// read.
struct SortedEdges {
    const uint32_t* edges;
    int64_t count;
    const WeightRun* runs;
    int64_t runCount;
};

// The pixel graph as merging and clean-up read it: 32-bit edge numbers in
// ascending weight order (equal weights in construction order), cut into
// runs of equal weight.
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

// The sorted graph of a non-empty image; `releaseChannels` is called as soon
// as the channels are read for the last time. Graphs with few distinct weights
// (photos) are sorted by counting; others (e.g. smoothed or arbitrary doubles)
// by storing and sorting 64-bit keys.
//
// The blocks taken from the workspace's pool are sized so that later stages
// reuse them: the sorted edges can take the channels' block when it has
// room for sortedEdgeBytes (planesFromPhoto makes it so), and the forest
// takes the block of the weight ids.
SortedGraph sortedGraphOf(const PixelChannels& channels, int32_t width, int32_t height,
                          const std::function<void()>& releaseChannels, const Workspace& workspace);

// Bytes of the sorted edges of a width x height image.
size_t sortedEdgeBytes(int32_t width, int32_t height);

}  // namespace segmora
