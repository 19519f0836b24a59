// Moves pixels between a host language's arrays and the engine's matrices. Hosts store
// images in their own layouts (Octave: column-major planes; NumPy: any strides) and element
// kinds, the engine wants row-major 8-bit BGR pixels and gives row-major labels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

#include "photo_pixels.h"

namespace segmora::bindings {

// The strided traversal and the photo conversion rules are the engine's own (photo_pixels.h).
using Strides = PixelStrides;
using segmora::bgrFromPixels;
using segmora::visitPixels;

// Copies an RGB image of 8-bit values, as cv::imread would give the same photo.
void bgrFromRgb(const std::uint8_t* rgb, int rows, int columns, Strides strides, cv::Mat& bgr);

// Copies a region map addressed through `strides` (channel unused) into `ids`, row-major,
// every value made an int by toInt. Callers check first that every value fits.
template <class T, class ToInt>
void regionsFrom(const T* regions, int rows, int columns, Strides strides, ToInt toInt,
                 cv::Mat_<int>& ids) {
    ids.create(rows, columns);
    visitPixels(rows, columns, strides, [&](int y, int x) {
        ids(y, x) = toInt(regions[y * strides.row + x * strides.column]);
    });
}

// Copies a region map whose every value fits in an int.
template <class T>
void regionsFrom(const T* regions, int rows, int columns, Strides strides, cv::Mat_<int>& ids) {
    regionsFrom(
        regions, rows, columns, strides, [](T id) { return static_cast<int>(id); }, ids);
}

// Writes `labels` into a column-major double matrix of the same size.
void labelsToColumnMajor(const cv::Mat_<int>& labels, double* out);

}  // namespace segmora::bindings
