#include "segment_forest.h"

namespace segmora {

SegmentForest::SegmentForest(BlockPool& pool, int32_t count, float threshold)
    : setCount(count), spare(count), memory(pool, bytesFor(count)) {
    parent = memory.as<int32_t>();
    data = reinterpret_cast<SegmentData*>(parent + count + 1);
    for (int32_t i = 0; i <= count; ++i) parent[i] = i;
    for (int32_t i = 0; i < count; ++i) data[i] = SegmentData{1, threshold};
    data[count] = SegmentData{0, threshold};
}

}  // namespace segmora
