#include "tiled_photo_writer.h"

#include <opencv2/imgproc.hpp>
#include <stdexcept>

namespace segmora {

TiledPhotoWriter::TiledPhotoWriter(const std::string& path, int64_t width, int64_t height,
                                   int64_t tileSize)
    : raster(path, tiledTiffLayout(width, height, tileSize, tileSize, TiffSamples{3, 8, false}),
             "photo") {}

void TiledPhotoWriter::write(int64_t x, int64_t y, const cv::Mat& piece) {
    if (piece.type() != CV_8UC3) throw std::invalid_argument("photo pieces are CV_8UC3");
    cv::Mat rgb;
    cv::cvtColor(piece, rgb, cv::COLOR_BGR2RGB);
    raster.write(x, y, rgb.cols, rgb.rows, rgb.data, rgb.step);
}

}  // namespace segmora
