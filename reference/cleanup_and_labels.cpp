#include "cleanup_and_labels.h"

#include <map>

namespace segmora {

void mergeSmallSegments(DisjointSetForest& forest, int32_t edgeCount, const GraphEdge* edges,
                        int32_t minSize) {
    for (int32_t e = 0; e < edgeCount; ++e) {
        const int32_t ra = forest.findRoot(edges[e].a);
        const int32_t rb = forest.findRoot(edges[e].b);
        if (ra != rb && (forest.sizeOf(ra) < minSize || forest.sizeOf(rb) < minSize)) {
            forest.uniteRoots(ra, rb);
        }
    }
}

void assignLabels(DisjointSetForest& forest, int32_t rows, int32_t columns, cv::Mat_<int>& labels) {
    std::map<int32_t, int32_t> rootLabels;
    int32_t nextLabel = 1;
    for (int32_t row = 0; row < rows; ++row) {
        int* out = labels[row];
        for (int32_t column = 0; column < columns; ++column) {
            const int32_t root = forest.findRoot(row * columns + column);
            auto [it, inserted] = rootLabels.try_emplace(root, nextLabel);
            if (inserted) ++nextLabel;
            out[column] = it->second;
        }
    }
}

}  // namespace segmora
