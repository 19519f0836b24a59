#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>

#include "raster_file.h"

namespace segmora {

// The rows of an array file (RasterLayout::Kind::Npy, rows one after another) written in
// bands from the top down, each band in one long write past the page cache while the
// caller fills the next (PlacedFile::writeDirect). Written through the page cache, such a
// file costs a copy and a write-back a page at a time: on the machines measured (see
// bench/README.md) a third of the pace of the direct writes. Holds two bands.
class RowBands {
  public:
    // Bands of `bandRows` rows of `file`, none of whose pixels is written yet. Throws
    // std::bad_alloc when the two bands cannot be had.
    RowBands(RasterFile& file, int64_t bandRows);
    ~RowBands();  // waits for a write under way
    RowBands(const RowBands&) = delete;
    RowBands& operator=(const RowBands&) = delete;

    // The bytes of row r (0 .. bandRows - 1) of the band being filled, that is of the
    // file's row firstRow() + r.
    uint8_t* row(int64_t r);
    int64_t firstRow() const { return nextRow; }
    // Writes the band's first `rows` rows (bandRows, or what is left of the file) and starts
    // the next band; the file's last row is written before this returns. Errors of a write
    // under way (the file's own, naming it) are thrown by the next call.
    void writeBand(int64_t rows);

  private:
    struct Block;
    void waitForWrite();

    RasterFile& file;
    int64_t bandRows;
    size_t rowBytes;
    std::unique_ptr<Block> blocks[2];
    int current = 0;
    uint64_t start = 0;  // the file offset of the current block's first byte (aligned)
    size_t lead = 0;     // bytes before the band's first row in the block
    int64_t nextRow = 0;
    std::future<void> writing;
};

}  // namespace segmora
