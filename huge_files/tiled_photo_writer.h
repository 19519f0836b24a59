#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>

#include "raster_file.h"

namespace segmora {

// A photo of any size written in pieces as an uncompressed, tiled BigTIFF of 8-bit RGB
// pixels (for making huge test photos): the pieces are blue-green-red, as OpenCV holds
// photos, in any order, not overlapping, covering the photo. Placed as LabelWriter places
// its files: nothing under the final name before commit().
class TiledPhotoWriter {
  public:
    TiledPhotoWriter(const std::string& path, int64_t width, int64_t height,
                     int64_t tileSize = 256);

    // `piece` is CV_8UC3, its top-left pixel at (x, y).
    void write(int64_t x, int64_t y, const cv::Mat& piece);
    void commit() { raster.commit(); }
    uint64_t fileSize() const { return raster.layout().fileSize(); }

  private:
    RasterFile raster;
};

}  // namespace segmora
