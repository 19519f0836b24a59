#pragma once

#include <cstdint>
#include <vector>

#include "key_sort.h"
#include "large_buffer.h"
#include "photo_lab_planes.h"
#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"
#include "union_log.h"
#include "workspace.h"

namespace segmora {

// Joins every segment below parameters.minSize pixels across the first edge in
// sorted order that leaves it. The edges that touch such segments are found
// around their pixels when the graph is a photo's (`photoWeights`, which must
// give the weights the graph was sorted by), else by scanning all edges on up
// to workspace.threads threads. With a `log`, every union is added to it in order.
void absorbSmallSegments(SegmentForest& forest, const SortedGraph& graph,
                         const Parameters& parameters, const Workspace& workspace,
                         const PhotoEdgeWeights* photoWeights = nullptr, UnionLog* log = nullptr);

// The edges with an end in a pixel marked in `marks` (a bit per pixel), found around those
// pixels, as their keys (key_sort.h) in sorted order: made in construction order with
// weights from the photo (`weightOf`), then sorted stably by weight, on up to `threads`
// threads, in a block of `pool`.
class EdgeKeys {
  public:
    EdgeKeys(BlockPool& pool, const uint64_t* marks, int32_t width, int32_t height,
             const PhotoEdgeWeights& weightOf, int threads);
    const EdgeKey* keys() const { return memory.as<EdgeKey>(); }
    int64_t count = 0;

  private:
    LargeBuffer memory;
};

}  // namespace segmora
