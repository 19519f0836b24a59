#pragma once

#include <cstdint>

#include "grid_edges.h"
#include "segmora/segmora.h"

namespace segmora {

// Where a tile lies in the whole image: its local pixel and edge numbers (the tile taken as
// an image of its own) turned into the image's. Both raster orders agree inside a tile, and
// so do the edge orders: local edges sorted by key are in the image's order.
struct TileFrame {
    int64_t imageWidth;
    int64_t imageHeight;
    TileRect own;

    uint64_t globalPixel(int64_t local) const {
        return static_cast<uint64_t>((own.y + local / own.width) * imageWidth + own.x +
                                     local % own.width);
    }
    uint64_t globalEdge(uint32_t localEdge) const {
        return globalPixel(localEdge >> 2) * 4 + (localEdge & 3);
    }
};

// The pixels at both ends of an image edge number (x, y of each), or false when the number
// names no edge of a width x height image.
struct EdgeEnds {
    int64_t x0, y0, x1, y1;
};
inline bool edgeEndsOf(uint64_t edge, int64_t width, int64_t height, EdgeEnds& ends) {
    static constexpr int kColumnStep[4] = {1, 0, 1, 1}, kRowStep[4] = {0, 1, 1, -1};
    const uint64_t pixel = edge >> 2;
    const int direction = static_cast<int>(edge & 3);
    if (pixel >= static_cast<uint64_t>(width) * static_cast<uint64_t>(height)) return false;
    ends.x0 = static_cast<int64_t>(pixel % static_cast<uint64_t>(width));
    ends.y0 = static_cast<int64_t>(pixel / static_cast<uint64_t>(width));
    ends.x1 = ends.x0 + kColumnStep[direction];
    ends.y1 = ends.y0 + kRowStep[direction];
    return ends.x1 < width && ends.y1 >= 0 && ends.y1 < height;
}

inline bool rectHolds(const TileRect& rect, int64_t x, int64_t y) {
    return x >= rect.x && x < rect.x + rect.width && y >= rect.y && y < rect.y + rect.height;
}

}  // namespace segmora
