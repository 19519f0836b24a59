#pragma once

#include <cstdint>

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

}  // namespace segmora
