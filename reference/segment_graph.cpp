#include "segment_graph.h"

#include <algorithm>
#include <vector>

namespace segmora {

void sortEdges(GraphEdge* edges, int32_t edgeCount) {
    std::stable_sort(edges, edges + edgeCount, [](const GraphEdge& x, const GraphEdge& y) {
        return weightLess(x.weight, y.weight);
    });
}

std::unique_ptr<DisjointSetForest> segmentGraph(int32_t vertexCount, int32_t edgeCount,
                                                GraphEdge* edges, float threshold, int32_t sizeCap,
                                                const cv::Mat_<int>& constraints) {
    sortEdges(edges, edgeCount);
    auto forest = std::make_unique<DisjointSetForest>(vertexCount);
    std::vector<float> rootThresholds(static_cast<size_t>(vertexCount), threshold);
    const int32_t columns = constraints.cols;
    for (int32_t e = 0; e < edgeCount; ++e) {
        const GraphEdge& edge = edges[e];
        const int32_t ra = forest->findRoot(edge.a);
        const int32_t rb = forest->findRoot(edge.b);
        if (ra == rb) continue;
        if (!(edge.weight <= rootThresholds[ra]) || !(edge.weight <= rootThresholds[rb])) continue;
        if (forest->sizeOf(ra) + forest->sizeOf(rb) > sizeCap) continue;
        if (constraints(rb / columns, rb % columns) != constraints(ra / columns, ra % columns)) {
            continue;
        }
        forest->uniteRoots(ra, rb);
        const int32_t r = forest->findRoot(ra);
        rootThresholds[r] = threshold / static_cast<float>(forest->sizeOf(r)) + edge.weight;
    }
    return forest;
}

}  // namespace segmora
