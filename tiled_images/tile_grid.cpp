#include "tile_grid.h"

#include <algorithm>
#include <stdexcept>

#include "segmentation_checks.h"
#include "tile_channels.h"

namespace segmora {

namespace {

std::string sizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// Both sides at least 1 and the area under `limit` (no overflow on the way).
bool fitsUnder(int64_t width, int64_t height, int64_t limit) {
    return width >= 1 && height >= 1 && width < limit && height < limit && width <= limit / height &&
           width * height < limit;
}

}  // namespace

Parameters tiledParameters(const TiledImage& image) {
    return resolvedPhotoParameters(image.parameters, image.withRegions);
}

int64_t tiledSizeCap(const TiledImage& image) {
    const double pixels = static_cast<double>(image.width) * static_cast<double>(image.height);
    return static_cast<int64_t>(pixels / static_cast<double>(tiledParameters(image).capDivisor) +
                                20.0);
}

int64_t tileMargin(const TiledImage& image) {
    return smoothingReach(tiledParameters(image).sigma);
}

std::string tileName(int64_t tile) {
    return "tile " + std::to_string(tile);
}

void checkTiledImage(const TiledImage& image) {
    if (!fitsUnder(image.width, image.height, kMaxTiledPixelCount)) {
        throw std::invalid_argument("tiled image of " + sizeText(image.width, image.height) +
                                    " pixels is empty or too large (the limit is 2^48 pixels)");
    }
    if (image.tileWidth < 1 || image.tileHeight < 1) {
        throw std::invalid_argument("tiles of " + sizeText(image.tileWidth, image.tileHeight) +
                                    " pixels are empty");
    }
    const int64_t width = std::min(image.tileWidth, image.width);
    const int64_t height = std::min(image.tileHeight, image.height);
    if (!fitsUnder(width, height, kMaxPixelCount)) {
        throw std::invalid_argument("tiles of " + sizeText(width, height) +
                                    " pixels are too large (" + pixelLimitText() + " pixels)");
    }
    const Parameters parameters = tiledParameters(image);
    checkSegmentationInput(1, 1, parameters, nullptr);
    if (parameters.count != 0) {
        throw std::invalid_argument("count must be 0 for an image in tiles, not " +
                                    std::to_string(parameters.count));
    }
    const int64_t margin = smoothingReach(parameters.sigma);
    if (!fitsUnder(std::min(width + 2 * margin, image.width), std::min(height + 2 * margin, image.height),
                   kMaxPixelCount)) {
        throw std::invalid_argument("tiles of " + sizeText(width, height) +
                                    " pixels with their margin for smoothing are too large (" +
                                    pixelLimitText() + " pixels)");
    }
}

int64_t tileCount(const TiledImage& image) {
    checkTiledImage(image);
    const int64_t across = (image.width + image.tileWidth - 1) / image.tileWidth;
    const int64_t down = (image.height + image.tileHeight - 1) / image.tileHeight;
    return across * down;
}

void checkTileNumber(const TiledImage& image, int64_t tile) {
    const int64_t count = tileCount(image);
    if (tile < 0 || tile >= count) {
        throw std::invalid_argument(tileName(tile) + " is outside the image's " +
                                    std::to_string(count) + " tiles");
    }
}

TileRect tileRect(const TiledImage& image, int64_t tile) {
    checkTileNumber(image, tile);
    const int64_t across = (image.width + image.tileWidth - 1) / image.tileWidth;
    TileRect rect;
    rect.x = tile % across * image.tileWidth;
    rect.y = tile / across * image.tileHeight;
    rect.width = std::min(image.tileWidth, image.width - rect.x);
    rect.height = std::min(image.tileHeight, image.height - rect.y);
    return rect;
}

TileRect tileReadRect(const TiledImage& image, int64_t tile) {
    const TileRect own = tileRect(image, tile);
    const int64_t margin = tileMargin(image);
    TileRect rect;
    rect.x = std::max<int64_t>(0, own.x - margin);
    rect.y = std::max<int64_t>(0, own.y - margin);
    rect.width = std::min(image.width, own.x + own.width + margin) - rect.x;
    rect.height = std::min(image.height, own.y + own.height + margin) - rect.y;
    return rect;
}

}  // namespace segmora
