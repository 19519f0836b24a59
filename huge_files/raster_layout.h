#pragma once

#include <cstdint>
#include <string>

namespace segmora {

// Where each pixel of an uncompressed raster image lies in its file, for files written in
// pieces at their offsets: a NumPy array in C order, or a tiled BigTIFF whose tiles follow
// each other in raster order. Pixels are `pixelBytes` bytes, the samples as the caller
// gives them (little-endian).
struct RasterLayout {
    enum class Kind { Npy, TiledTiff };

    Kind kind = Kind::Npy;
    int64_t width = 0, height = 0;
    int pixelBytes = 0;
    // Cells whose pixel rows lie one after another in the file: the tiles of a TIFF, the
    // whole image for an array.
    int64_t cellWidth = 0, cellHeight = 0;
    uint64_t dataOffset = 0;  // where the first cell begins
    std::string header;       // the bytes before dataOffset

    uint64_t fileSize() const;
    int64_t cellsAcross() const { return (width + cellWidth - 1) / cellWidth; }
    // The file offset of pixel (x, y); the pixels up to the right edge of its cell follow it.
    uint64_t offsetOf(int64_t x, int64_t y) const;
};

// The samples of a TIFF's pixels.
struct TiffSamples {
    int count = 1;          // samples per pixel: 1 (labels) or 3 (RGB)
    int bits = 32;          // per sample: 8, 32 or 64
    bool isSigned = false;  // signed integers, else unsigned
};

// A C-order array of height x width elements of `itemBytes` bytes: '<i4' or '<i8' (signed).
RasterLayout npyLayout(int64_t width, int64_t height, int itemBytes);

// An uncompressed, chunky BigTIFF of tileWidth x tileHeight tiles (multiples of 16; the
// last row and column of tiles padded as TIFF wants). Width and height must fit 32 bits.
RasterLayout tiledTiffLayout(int64_t width, int64_t height, int64_t tileWidth, int64_t tileHeight,
                             const TiffSamples& samples);

}  // namespace segmora
