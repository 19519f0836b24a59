#include "segment_forest.h"

#include "parallel.h"

namespace segmora {

SegmentForest::SegmentForest(BlockPool& pool, int32_t count, float threshold, int threads)
    : setCount(count), spare(count), memory(pool, bytesFor(count)) {
    parent = memory.as<int32_t>();
    data = reinterpret_cast<SegmentData*>(parent + count + 1);
    runInParts(partsForItems(count, threads), count, [&](int, int64_t begin, int64_t end) {
        for (auto i = static_cast<int32_t>(begin); i < end; ++i) {
            parent[i] = i;
            data[i] = SegmentData{1, threshold};
        }
    });
    parent[count] = count;
    data[count] = SegmentData{0, threshold};
}

}  // namespace segmora
