#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "segmora/segmora.h"
#include "tile_frame.h"

namespace segmora {

// What FlatSweep::finish() hands every tile ("SGMFLAT1" bytes): the image's shape, the
// knobs the sweep depends on, and ascending, the numbers of the edges of weight 0 between
// pixels of one region that the one-piece merge does not join because of the size cap.
// Every other edge of weight 0 between pixels of one region joins its two sides.

// The listed edges that touch the tile (both ends in it, or one: its seam edges),
// ascending. Refuses (std::invalid_argument) bytes that are not a finished sweep of this
// image and knobs, or are altered.
std::vector<uint64_t> flatEdgesApartNear(const std::vector<uint8_t>& sweep, const TiledImage& image,
                                         const TileRect& own);

// Whether `edge` is on the ascending list.
inline bool listed(const std::vector<uint64_t>& edges, uint64_t edge) {
    return std::binary_search(edges.begin(), edges.end(), edge);
}

}  // namespace segmora
