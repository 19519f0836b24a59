#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "placed_file.h"
#include "raster_layout.h"

namespace segmora {

// An uncompressed raster file (see RasterLayout) written rectangle by rectangle, in any
// order, straight to its place in the file: nothing is buffered beyond one write's
// coalesced bytes, so memory does not grow with the image. Rectangles must not overlap;
// commit() refuses a file some of whose pixels were never written. The file is placed
// as PlacedFile places it: free space checked first, final name only on commit().
class RasterFile {
  public:
    RasterFile(const std::string& path, RasterLayout layout, const std::string& description);

    // The w x h pixels at (x, y), row r starting at data + r * stride, each pixel
    // layout.pixelBytes bytes as they go into the file.
    void write(int64_t x, int64_t y, int64_t w, int64_t h, const uint8_t* data, size_t stride);
    // For RowBands: `count` bytes of whole rows (and the bytes before them) at `offset` of
    // an array file, through PlacedFile::writeDirect when `direct`; `rows` rows are counted
    // as written.
    void writeRowBytes(uint64_t offset, const uint8_t* bytes, size_t count, bool direct,
                       int64_t rows);
    void commit();

    const RasterLayout& layout() const { return shape; }
    const std::string& path() const { return file.path(); }

  private:
    void checkPiece(int64_t x, int64_t y, int64_t w, int64_t h);
    void put(uint64_t offset, const uint8_t* bytes, size_t count);
    void flush();

    RasterLayout shape;
    PlacedFile file;
    int64_t pixelsWritten = 0;
    std::set<std::pair<int64_t, int64_t>> origins;  // of the pieces written: none twice
    std::vector<uint8_t> pending;                   // bytes of one coalesced write
    uint64_t pendingOffset = 0;
};

}  // namespace segmora
