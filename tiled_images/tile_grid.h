#pragma once

#include <cstdint>
#include <string>

#include "segmora/segmora.h"

namespace segmora {

// Images in tiles may have up to this many pixels: every pixel and edge number of the
// tiled path is 64-bit, and 4 x this still leaves room in one.
constexpr int64_t kMaxTiledPixelCount = int64_t{1} << 48;

// The image's knobs with the cap divisor resolved (0: the photo default).
Parameters tiledParameters(const TiledImage& image);

// Largest segment a merge may make: the whole image's pixels / capDivisor + 20, in 64 bits
// (for fewer than 2^29 pixels the one-piece engine's own cap).
int64_t tiledSizeCap(const TiledImage& image);

// Pixels read around a tile beyond its own: its seam edges reach one pixel out, and
// smoothing as far again as its mask.
int64_t tileMargin(const TiledImage& image);

// Throws std::invalid_argument unless 0 <= tile < tileCount(image).
void checkTileNumber(const TiledImage& image, int64_t tile);

// "tile N" (the words every refusal about one tile starts with).
std::string tileName(int64_t tile);

}  // namespace segmora
