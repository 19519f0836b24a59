#include "edge_keys.h"

#include <algorithm>
#include <vector>

#include "edge_weights.h"
#include "parallel.h"

namespace segmora {

int64_t buildEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height, EdgeKey* keys,
                      int threads) {
    if (width <= 0 || height <= 0) return 0;
    const int64_t count = edgeCountFor(width, height);
    runInParts(std::min<int>(partsForItems(count, threads), height), height,
               [&](int, int64_t begin, int64_t end) {
                   std::vector<float> weights(static_cast<size_t>(width) * 4);
                   EdgeKey* out = keys + edgesBeforeRow(width, height, begin);
                   for (int64_t y = begin; y < end; ++y) {
                       const RowEdges row(width, height, y);
                       rowEdgeWeights(channels, row, weights.data());
                       visitInConstructionOrder(row, weights.data(), [&](float w, uint32_t edge) {
                           *out++ = makeEdgeKey(w, edge);
                       });
                   }
               });
    return count;
}

}  // namespace segmora
