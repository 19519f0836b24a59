#include "pixel_layout.h"

#include <algorithm>
#include <cstdlib>

namespace segmora::bindings {

namespace {

// Rows per band when one side of a copy is column-major: within a band the column-major
// side moves through memory in runs of this many elements while the row-major side's rows
// of the band stay in the cache from one column to the next.
constexpr int kBandRows = 64;

// Calls visit(y, x) for every pixel: in row-major order, or band by band in column-major
// order within each band.
template <class Visit>
void visitPixels(int rows, int columns, bool columnMajor, Visit visit) {
    if (!columnMajor) {
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) visit(y, x);
        }
        return;
    }
    for (int top = 0; top < rows; top += kBandRows) {
        const int bottom = std::min(rows, top + kBandRows);
        for (int x = 0; x < columns; ++x) {
            for (int y = top; y < bottom; ++y) visit(y, x);
        }
    }
}

bool isColumnMajor(Strides strides) {
    return std::abs(strides.row) < std::abs(strides.column);
}

}  // namespace

void bgrFromRgb(const std::uint8_t* rgb, int rows, int columns, Strides strides, cv::Mat& bgr) {
    bgr.create(rows, columns, CV_8UC3);
    const std::ptrdiff_t green = strides.channel;
    const std::ptrdiff_t blue = 2 * strides.channel;
    visitPixels(rows, columns, isColumnMajor(strides), [&](int y, int x) {
        const std::uint8_t* from = rgb + y * strides.row + x * strides.column;
        std::uint8_t* to = bgr.ptr<std::uint8_t>(y) + 3 * static_cast<std::ptrdiff_t>(x);
        to[0] = from[blue];
        to[1] = from[green];
        to[2] = from[0];
    });
}

template <class T>
void regionsFrom(const T* regions, int rows, int columns, Strides strides, cv::Mat_<int>& ids) {
    ids.create(rows, columns);
    visitPixels(rows, columns, isColumnMajor(strides), [&](int y, int x) {
        ids(y, x) = static_cast<int>(regions[y * strides.row + x * strides.column]);
    });
}

void labelsToColumnMajor(const cv::Mat_<int>& labels, double* out) {
    const std::ptrdiff_t rows = labels.rows;
    visitPixels(labels.rows, labels.cols, true,
                [&](int y, int x) { out[x * rows + y] = labels(y, x); });
}

template void regionsFrom(const std::int8_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::uint8_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::int16_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::uint16_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::int32_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::uint32_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::int64_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const std::uint64_t*, int, int, Strides, cv::Mat_<int>&);
template void regionsFrom(const double*, int, int, Strides, cv::Mat_<int>&);

}  // namespace segmora::bindings
