#pragma once

#include <cstdint>

namespace segmora {

// How a photo is cut for the tiled merge: tiles of width x height pixels from
// the top left corner (those on the right and bottom edges may be smaller).
// Empty (either side 0): the photo stays one piece.
struct TileShape {
    int32_t width = 0;
    int32_t height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

}  // namespace segmora
