#include "pixel_graph.h"

namespace segmora {

int64_t edgeCountFor(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    const int64_t w = width;
    const int64_t h = height;
    return 4 * h * w - 3 * h - 3 * w + 2;
}

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

int32_t sizeCapFor(int32_t vertexCount, int32_t capDivisor) {
    return static_cast<int32_t>(static_cast<double>(vertexCount) / static_cast<double>(capDivisor) +
                                20.0);
}

}  // namespace segmora
