#include "segment_numbering.h"

namespace segmora {

void numberSegments(SegmentForest& forest, int32_t* labels, int32_t pixelCount) {
    SegmentData* data = forest.data;
    int32_t nextLabel = 1;
    for (int32_t v = 0; v < pixelCount; ++v) {
        const int32_t root = forest.findRootNear(v);
        if (data[root].size > 0) data[root].size = -nextLabel++;
        labels[v] = -data[root].size;
    }
}

}  // namespace segmora
