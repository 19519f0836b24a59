#include "pixel_layout.h"

namespace segmora::bindings {

void bgrFromRgb(const std::uint8_t* rgb, int rows, int columns, Strides strides, cv::Mat& bgr) {
    bgrFromPixels(
        rgb, rows, columns, 3, strides, [](std::uint8_t v) { return v; }, bgr);
}

void labelsToColumnMajor(const cv::Mat_<int>& labels, double* out) {
    const std::ptrdiff_t rows = labels.rows;
    visitPixels(labels.rows, labels.cols, Strides{1, rows, 0},
                [&](int y, int x) { out[x * rows + y] = labels(y, x); });
}

}  // namespace segmora::bindings
