#include "edge_keys.h"

#include <algorithm>

#include "edge_source.h"
#include "parallel.h"

namespace segmora {

int64_t buildEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height, EdgeKey* keys,
                      int threads) {
    if (width <= 0 || height <= 0) return 0;
    const int64_t count = edgesBeforeRow(width, height, height);
    const PlaneDistances distance(channels);
    runInParts(std::min<int>(partsForItems(count, threads), height), height,
               [&](int, int64_t begin, int64_t end) {
                   EdgeKey* out = keys + edgesBeforeRow(width, height, begin);
                   for (int64_t y = begin; y < end; ++y) {
                       visitRowEdges(distance, width, static_cast<int32_t>(y), y > 0,
                                     y < height - 1, [&](float weight, uint32_t edge) {
                                         *out++ = makeEdgeKey(weight, edge);
                                     });
                   }
               });
    return count;
}

}  // namespace segmora
