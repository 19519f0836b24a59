#include "pixel_graph.h"

namespace segmora {

int32_t buildEdges(const ChannelImage& s0, const ChannelImage& s1, const ChannelImage& s2,
                   GraphEdge* edges) {
    const int32_t width = s0.width;
    const int32_t height = s0.height;
    const float* const* r0 = s0.rowTable.get();
    const float* const* r1 = s1.rowTable.get();
    const float* const* r2 = s2.rowTable.get();
    int32_t count = 0;
    auto add = [&](int32_t y, int32_t x, int32_t ny, int32_t nx) {
        edges[count++] =
            GraphEdge{edgeWeight(r0, r1, r2, y, x, ny, nx), y * width + x, ny * width + nx};
    };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const bool hasRight = x < width - 1;
            if (hasRight) add(y, x, y, x + 1);
            if (y < height - 1) add(y, x, y + 1, x);
            if (hasRight && y < height - 1) add(y, x, y + 1, x + 1);
            if (hasRight && y > 0) add(y, x, y - 1, x + 1);
        }
    }
    return count;
}

}  // namespace segmora
