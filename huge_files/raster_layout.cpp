#include "raster_layout.h"

#include <stdexcept>
#include <vector>

#include "npy_array.h"

namespace segmora {

namespace {

// BigTIFF field types.
constexpr uint16_t kShort = 3, kLong = 4, kLong8 = 16;

// The bytes of one directory entry's fields, little-endian, and of its arrays kept apart.
class TiffBytes {
  public:
    void put(uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) text.push_back(static_cast<char>(value >> (8 * i)));
    }
    // An entry whose values fit the 8 bytes of its value field.
    void entry(uint16_t tag, uint16_t type, const std::vector<uint64_t>& values) {
        const int size = type == kShort ? 2 : type == kLong ? 4 : 8;
        put(tag, 2);
        put(type, 2);
        put(values.size(), 8);
        for (uint64_t value : values) put(value, size);
        put(0, 8 - size * static_cast<int>(values.size()));
    }
    std::string text;
};

// The directory of a tiled file holds 16 bytes a tile, built in memory.
constexpr int64_t kMostTiles = int64_t(1) << 22;

void checkShape(int64_t width, int64_t height) {
    if (width < 1 || height < 1 || width > UINT32_MAX || height > UINT32_MAX) {
        throw std::invalid_argument("images in pieces are 1 to 4294967295 pixels wide and high");
    }
}

void checkTiffShape(int64_t width, int64_t height, int64_t tileWidth, int64_t tileHeight) {
    checkShape(width, height);
    if (tileWidth < 16 || tileHeight < 16 || tileWidth % 16 || tileHeight % 16 ||
        tileWidth > 65536 || tileHeight > 65536) {
        throw std::invalid_argument("TIFF tiles are multiples of 16 pixels, at most 65536");
    }
    if ((width + tileWidth - 1) / tileWidth * ((height + tileHeight - 1) / tileHeight) >
        kMostTiles) {
        throw std::invalid_argument("a tiled TIFF of " + std::to_string(width) + " x " +
                                    std::to_string(height) + " pixels would have more than " +
                                    std::to_string(kMostTiles) + " tiles");
    }
}

}  // namespace

uint64_t RasterLayout::fileSize() const {
    const int64_t cellsDown = (height + cellHeight - 1) / cellHeight;
    return dataOffset + static_cast<uint64_t>(cellsAcross() * cellsDown) *
                            static_cast<uint64_t>(cellWidth * cellHeight * pixelBytes);
}

uint64_t RasterLayout::offsetOf(int64_t x, int64_t y) const {
    const int64_t cell = (y / cellHeight) * cellsAcross() + x / cellWidth;
    const int64_t inCell = (y % cellHeight) * cellWidth + x % cellWidth;
    return dataOffset + static_cast<uint64_t>(cell * cellWidth * cellHeight + inCell) *
                            static_cast<uint64_t>(pixelBytes);
}

RasterLayout npyLayout(int64_t width, int64_t height, int itemBytes) {
    if (itemBytes != 4 && itemBytes != 8)
        throw std::invalid_argument("arrays of 4- or 8-byte labels");
    checkShape(width, height);
    RasterLayout layout;
    layout.kind = RasterLayout::Kind::Npy;
    layout.width = layout.cellWidth = width;
    layout.height = layout.cellHeight = height;
    layout.pixelBytes = itemBytes;
    layout.header = npyHeader(height, width, itemBytes);
    layout.dataOffset = layout.header.size();
    return layout;
}

RasterLayout tiledTiffLayout(int64_t width, int64_t height, int64_t tileWidth, int64_t tileHeight,
                             const TiffSamples& samples) {
    checkTiffShape(width, height, tileWidth, tileHeight);
    RasterLayout layout;
    layout.kind = RasterLayout::Kind::TiledTiff;
    layout.width = width;
    layout.height = height;
    layout.cellWidth = tileWidth;
    layout.cellHeight = tileHeight;
    layout.pixelBytes = samples.count * samples.bits / 8;
    const uint64_t tiles = static_cast<uint64_t>(layout.cellsAcross()) *
                           static_cast<uint64_t>((height + tileHeight - 1) / tileHeight);
    const uint64_t tileBytes = static_cast<uint64_t>(tileWidth * tileHeight * layout.pixelBytes);

    constexpr int kEntries = 12;
    const uint64_t directory = 16, arrays = directory + 8 + kEntries * 20 + 8;
    const bool inline1 = tiles == 1;  // one offset fits its entry's value field
    const uint64_t offsetsAt = arrays, countsAt = arrays + 8 * tiles;
    layout.dataOffset = inline1 ? arrays : (countsAt + 8 * tiles + 15) / 16 * 16;

    TiffBytes bytes;
    bytes.text.reserve(layout.dataOffset);
    bytes.text.assign("II\x2b\0\x08\0\0\0", 8);
    bytes.put(directory, 8);
    bytes.put(kEntries, 8);
    const std::vector<uint64_t> bits(samples.count, samples.bits);
    const std::vector<uint64_t> format(samples.count, samples.isSigned ? 2 : 1);
    bytes.entry(256, kLong, {static_cast<uint64_t>(width)});
    bytes.entry(257, kLong, {static_cast<uint64_t>(height)});
    bytes.entry(258, kShort, bits);
    bytes.entry(259, kShort, {1});                             // no compression
    bytes.entry(262, kShort, {samples.count == 3 ? 2u : 1u});  // RGB, else black is zero
    bytes.entry(277, kShort, {static_cast<uint64_t>(samples.count)});
    bytes.entry(284, kShort, {1});  // chunky
    bytes.entry(322, kLong, {static_cast<uint64_t>(tileWidth)});
    bytes.entry(323, kLong, {static_cast<uint64_t>(tileHeight)});
    if (inline1) {
        bytes.entry(324, kLong8, {layout.dataOffset});
        bytes.entry(325, kLong8, {tileBytes});
    } else {
        for (uint16_t tag : {uint16_t(324), uint16_t(325)}) {
            bytes.put(tag, 2);
            bytes.put(kLong8, 2);
            bytes.put(tiles, 8);
            bytes.put(tag == 324 ? offsetsAt : countsAt, 8);
        }
    }
    bytes.entry(339, kShort, format);
    bytes.put(0, 8);  // no further directory
    if (!inline1) {
        for (uint64_t t = 0; t < tiles; ++t) bytes.put(layout.dataOffset + t * tileBytes, 8);
        for (uint64_t t = 0; t < tiles; ++t) bytes.put(tileBytes, 8);
        bytes.text.resize(layout.dataOffset, '\0');
    }
    layout.header = std::move(bytes.text);
    return layout;
}

}  // namespace segmora
