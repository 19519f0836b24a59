#pragma once

#include <cstdint>

#include "segment_forest.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"
#include "workspace.h"

namespace segmora {

// Joins every segment below parameters.minSize pixels across the first edge in
// sorted order that leaves it, scanning the edges on up to workspace.threads
// threads.
void absorbSmallSegments(SegmentForest& forest, const SortedGraph& graph,
                         const Parameters& parameters, const Workspace& workspace);

}  // namespace segmora
