#pragma once

#include <cstdint>
#include <string>

#include "raster_file.h"

namespace segmora {

// A label image of any size written in pieces, rectangle by rectangle, in any order, as
// the tiles of a run finish: nothing but the piece being written is held in memory.
//
// Forms (by the path's extension, in any case, or as the caller says):
//   .npy           a NumPy array, height x width, '<i4' or '<i8', C order;
//   .tif / .tiff   a tiled, uncompressed BigTIFF of one signed-integer sample per pixel, 32
//                  or 64 bits, in 256 x 256 tiles. Signed, as the project's other 32-bit
//                  label files are (OpenCV reads them as CV_32S, NumPy as int32): labels are
//                  positive, so unsigned would buy nothing, and 64-bit labels match '<i8'.
// The caller chooses 32 or 64 bits from the superpixel count (32 while it is below 2^31).
//
// Pieces must not overlap, and together cover the image. The file is checked and placed
// as PlacedFile does: the free space for the whole file is checked before anything is
// written, the file is written under a temporary name in the destination's folder, and
// only commit() gives it its name, once every pixel is written and flushed. On any
// failure (a full disk, a write error) the temporary is removed and the error names the
// file; a writer dropped without commit() leaves nothing either.
//
// One thread at a time: a run that labels tiles on several threads hands the pieces to
// the writer in turn.
class LabelWriter {
  public:
    enum class Form { Npy, Tiff };
    static constexpr int64_t kTiffTile = 256;

    // Throws std::runtime_error for a path whose extension is neither.
    static Form formOf(const std::string& path);

    LabelWriter(const std::string& path, int64_t width, int64_t height, int bits);
    LabelWriter(const std::string& path, int64_t width, int64_t height, int bits, Form form);

    // The w x h labels of the rectangle at (x, y), row by row. Into a 32-bit file, 64-bit
    // labels must fit 32 bits (std::invalid_argument otherwise).
    void write(int64_t x, int64_t y, int64_t w, int64_t h, const int32_t* labels);
    void write(int64_t x, int64_t y, int64_t w, int64_t h, const int64_t* labels);
    void commit() { raster.commit(); }
    // The file itself, for writing whole rows in bands (RowBands).
    RasterFile& file() { return raster; }

    int bits() const { return labelBits; }
    // The bytes the file takes on the disk, for saying so before a run.
    uint64_t fileSize() const { return raster.layout().fileSize(); }

  private:
    template <typename From, typename To>
    void writeAs(int64_t x, int64_t y, int64_t w, int64_t h, const From* labels);

    int labelBits;
    RasterFile raster;
};

}  // namespace segmora
