// Moves pixels between a host language's arrays and the engine's matrices. Hosts store
// images in their own layouts (Octave: column-major planes; NumPy: any strides), the
// engine wants row-major BGR pixels and gives row-major labels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

namespace segmora::bindings {

// Where the next row, column and channel of an array start, in elements (may be negative).
struct Strides {
    std::ptrdiff_t row;
    std::ptrdiff_t column;
    std::ptrdiff_t channel;
};

// Copies an RGB image of rows x columns pixels, addressed through `strides`, into `bgr`
// as row-major BGR pixels (CV_8UC3), as cv::imread would give the same photo. `bgr` keeps
// its buffer when it already has that size and type.
void bgrFromRgb(const std::uint8_t* rgb, int rows, int columns, Strides strides, cv::Mat& bgr);

// Copies a region map addressed through `strides` (channel unused) into `ids`, row-major.
// Every value must fit in an int; callers check that first.
template <class T>
void regionsFrom(const T* regions, int rows, int columns, Strides strides, cv::Mat_<int>& ids);

// Writes `labels` into a column-major double matrix of the same size.
void labelsToColumnMajor(const cv::Mat_<int>& labels, double* out);

}  // namespace segmora::bindings
