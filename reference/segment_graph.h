#pragma once

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>

#include "disjoint_set_forest.h"
#include "pixel_graph.h"

namespace segmora {

// Order of edge weights: ascending, NaN after every number.
inline bool weightLess(float x, float y) {
    return x < y || (y != y && x == x);
}

// Sorts the edges by ascending weight; edges of equal weight keep their order.
void sortEdges(GraphEdge* edges, int32_t edgeCount);

// Sorts the edges and merges segments lightest edge first under the adaptive
// threshold, the size cap and the rule that both segments carry the same
// region id. Returns the forest that holds the partition.
std::unique_ptr<DisjointSetForest> segmentGraph(int32_t vertexCount, int32_t edgeCount,
                                                GraphEdge* edges, float threshold, int32_t sizeCap,
                                                const cv::Mat_<int>& constraints);

}  // namespace segmora
