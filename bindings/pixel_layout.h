// Moves pixels between a host language's arrays and the engine's matrices. Hosts store
// images in their own layouts (Octave: column-major planes; NumPy: any strides) and element
// kinds, the engine wants row-major 8-bit BGR pixels and gives row-major labels.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <opencv2/core.hpp>

namespace segmora::bindings {

// Where the next row, column and channel of an array start, in elements (may be negative).
struct Strides {
    std::ptrdiff_t row;
    std::ptrdiff_t column;
    std::ptrdiff_t channel;
};

namespace detail {

// Rows per band when one side of a copy is column-major: within a band the column-major
// side moves through memory in runs of this many elements while the row-major side's rows
// of the band stay in the cache from one column to the next.
constexpr int kBandRows = 64;

inline bool isColumnMajor(Strides strides) {
    return std::abs(strides.row) < std::abs(strides.column);
}

}  // namespace detail

// Calls visit(y, x) for every pixel: in row-major order, or band by band in column-major
// order within each band when `strides` are column-major.
template <class Visit>
void visitPixels(int rows, int columns, Strides strides, Visit visit) {
    if (!detail::isColumnMajor(strides)) {
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) visit(y, x);
        }
        return;
    }
    for (int top = 0; top < rows; top += detail::kBandRows) {
        const int bottom = std::min(rows, top + detail::kBandRows);
        for (int x = 0; x < columns; ++x) {
            for (int y = top; y < bottom; ++y) visit(y, x);
        }
    }
}

// Copies an image of rows x columns pixels with `channels` values each, addressed through
// `strides`, into `bgr` as row-major BGR pixels (CV_8UC3), every value made a byte by
// toByte. One or two channels are grey (and alpha), copied to blue, green and red alike;
// three or four are red, green, blue (and alpha); alpha is dropped. `bgr` keeps its buffer
// when it already has that size and type.
template <class T, class ToByte>
void bgrFromPixels(const T* pixels, int rows, int columns, int channels, Strides strides,
                   ToByte toByte, cv::Mat& bgr) {
    bgr.create(rows, columns, CV_8UC3);
    const std::ptrdiff_t green = channels >= 3 ? strides.channel : 0;
    const std::ptrdiff_t blue = channels >= 3 ? 2 * strides.channel : 0;
    visitPixels(rows, columns, strides, [&](int y, int x) {
        const T* from = pixels + y * strides.row + x * strides.column;
        std::uint8_t* to = bgr.ptr<std::uint8_t>(y) + 3 * static_cast<std::ptrdiff_t>(x);
        to[0] = toByte(from[blue]);
        to[1] = toByte(from[green]);
        to[2] = toByte(from[0]);
    });
}

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
