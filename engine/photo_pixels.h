// The photo kinds every way in takes and how their pixels become the 8-bit blue-green-red
// the engine segments: one set of rules for the library (photo_kinds.h) and the hosts'
// bindings (bindings/host_photo.h), the same the programs' decoder applies to files.
//   - 8-bit values are taken as they are, 16-bit values keep their high byte, floating-point
//     values in 0..1 are multiplied by 255 and rounded to nearest (halves up);
//   - one or two channels are grey (and alpha), copied to blue, green and red alike; three
//     or four are colour (and alpha); alpha is dropped.
// Header only: the bindings compile it with their own sources.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <opencv2/core.hpp>

namespace segmora {

// Where the next row, column and channel of an array start, in elements (may be negative).
struct PixelStrides {
    std::ptrdiff_t row;
    std::ptrdiff_t column;
    std::ptrdiff_t channel;
};

inline std::uint8_t byteOf(std::uint8_t value) {
    return value;
}
inline std::uint8_t byteOf(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}
// A 16-bit sample that holds `sampleBits` (8..16) significant bits, as the bit-depth option
// of every way in brings it to 8 bits: value >> (sampleBits - 8), at most 255. 16 is byteOf.
inline std::uint8_t byteOfSample(std::uint16_t value, int sampleBits) {
    return static_cast<std::uint8_t>(std::min(value >> (sampleBits - 8), 255));
}
// `value` must lie in 0..1 (isUnitValue).
inline std::uint8_t byteOf(double value) {
    return static_cast<std::uint8_t>(value * 255.0 + 0.5);
}
inline std::uint8_t byteOf(float value) {
    return byteOf(static_cast<double>(value));
}

// Whether a floating-point pixel value is one the rules take (NaN is not).
template <class T>
bool isUnitValue(T value) {
    return value >= 0 && value <= 1;
}

namespace detail {

// Rows per band when one side of a copy is column-major: within a band the column-major
// side moves through memory in runs of this many elements while the row-major side's rows
// of the band stay in the cache from one column to the next.
constexpr int kBandRows = 64;

inline bool isColumnMajor(PixelStrides strides) {
    return std::abs(strides.row) < std::abs(strides.column);
}

}  // namespace detail

// Calls visit(y, x) for every pixel: in row-major order, or band by band in column-major
// order within each band when `strides` are column-major.
template <class Visit>
void visitPixels(int rows, int columns, PixelStrides strides, Visit visit) {
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
// toByte. `pixels` points at the first pixel's grey or red value: one or two channels are
// grey (and alpha), copied to blue, green and red alike; of three or four, the channel
// after red is green and the next blue (an OpenCV photo, blue first, is addressed from its
// red value with channel stride -1); alpha is dropped. `bgr` keeps its buffer when it
// already has that size and type.
template <class T, class ToByte>
void bgrFromPixels(const T* pixels, int rows, int columns, int channels, PixelStrides strides,
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

}  // namespace segmora
