#pragma once

#include <cstdint>
#include <vector>

#include "sorted_graph.h"
#include "tile_channels.h"
#include "tile_frame.h"

namespace segmora {

// A seam edge (one end in the tile, one outside) seen from the tile: its key and the local
// pixel at its end here.
struct SeamHalf {
    uint32_t weight;  // bits
    uint64_t edge;    // in the whole image
    int32_t pixel;    // local
};

// The seam edges of the tile's pixels, sorted by key, with weights from the channels around
// the tile, whose read rectangle's top left pixel is (readX, readY) in the image.
std::vector<SeamHalf> seamHalvesOf(const TileFrame& frame, int64_t readX, int64_t readY,
                                   const TileChannels& channels);

// How many of the tile's sorted inner edges come before the key (weight, edge): the place
// from which the segment at the seam edge's end here is unsettled.
uint32_t seamPlace(const SortedEdges& sorted, const TileFrame& frame, uint32_t weight,
                   uint64_t edge);

}  // namespace segmora
