#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "disjoint_set_forest.h"
#include "pixel_graph.h"

namespace segmora {

// The reference's last steps: the clean-up of small segments and the numbering.

// One pass over the sorted edges: an edge joining two segments merges them
// when either is below `minSize` pixels, whatever the regions.
void mergeSmallSegments(DisjointSetForest& forest, int32_t edgeCount, const GraphEdge* edges,
                        int32_t minSize);

// Numbers the segments 1, 2, ... in raster order of their first pixels.
void assignLabels(DisjointSetForest& forest, int32_t rows, int32_t columns, cv::Mat_<int>& labels);

}  // namespace segmora
