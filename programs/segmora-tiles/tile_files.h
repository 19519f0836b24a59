#pragma once

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>

#include "segmora/segmora.h"

namespace segmora {

// A region map for a tiled run, read a rectangle at a time: a NumPy .npy file of integers
// (any width, either byte order), the photo's height x width in C order, as Segmora's
// .npy label files are. One reader per thread.
class TileRegionMap {
  public:
    // Throws std::runtime_error naming the file: missing, not such an array, or of another
    // size than width x height.
    TileRegionMap(const std::string& path, int64_t width, int64_t height);
    ~TileRegionMap();
    TileRegionMap(const TileRegionMap&) = delete;
    TileRegionMap& operator=(const TileRegionMap&) = delete;

    // The rectangle's region ids; throws naming the file for an id outside the int range or
    // a file cut short.
    cv::Mat_<int> read(const TileRect& rect);

  private:
    std::string path;
    int fd = -1;
    int64_t width = 0;
    int itemSize = 0;
    uint64_t dataOffset = 0;
    struct Layout;
    std::unique_ptr<Layout> layout;
};

// The label file of a tiled run, written tile by tile in the order of the tiles, and given
// its name only by commit(): a tiled BigTIFF (.tif, .tiff) or a .npy file.
class TileLabelFile {
  public:
    // `wide`: 64-bit labels, else 32-bit. Throws std::runtime_error naming the file.
    TileLabelFile(const std::string& path, const TiledImage& image, bool wide);
    ~TileLabelFile();
    TileLabelFile(const TileLabelFile&) = delete;
    TileLabelFile& operator=(const TileLabelFile&) = delete;

    void write(int64_t tile, const TileLabels& labels);
    void commit();

  private:
    struct Writer;
    std::unique_ptr<Writer> writer;
};

// Refuses a label file name that is neither .tif, .tiff nor .npy (in any case), and a
// name that is a folder: std::runtime_error naming the file.
void checkLabelFileName(const std::string& path);

}  // namespace segmora
