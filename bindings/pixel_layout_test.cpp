#include "pixel_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace segmora::bindings {
namespace {

// Pixel (y, x) of channel c holds a value that names all three, so any mix-up shows.
std::uint8_t code(int y, int x, int c) {
    return static_cast<std::uint8_t>(y * 37 + x * 11 + c * 101);
}

void expectBgr(const cv::Mat& bgr, int rows, int columns) {
    ASSERT_EQ(bgr.type(), CV_8UC3);
    ASSERT_EQ(bgr.rows, rows);
    ASSERT_EQ(bgr.cols, columns);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const cv::Vec3b pixel = bgr.at<cv::Vec3b>(y, x);
            ASSERT_EQ(pixel, cv::Vec3b(code(y, x, 2), code(y, x, 1), code(y, x, 0)))
                << "pixel " << y << ", " << x;
        }
    }
}

// Sizes around the band height of the column-major copy.
const int kSizes[][2] = {{1, 1}, {3, 5}, {64, 2}, {65, 3}, {130, 7}, {2, 150}};

TEST(PixelLayout, ColumnMajorPlanesBecomeRowMajorBgr) {
    for (const auto& size : kSizes) {
        const int rows = size[0], columns = size[1];
        std::vector<std::uint8_t> planes(static_cast<size_t>(rows) * columns * 3);
        for (int c = 0; c < 3; ++c)
            for (int x = 0; x < columns; ++x)
                for (int y = 0; y < rows; ++y)
                    planes[(static_cast<size_t>(c) * columns + x) * rows + y] = code(y, x, c);
        const Strides strides{1, rows, static_cast<std::ptrdiff_t>(rows) * columns};
        cv::Mat bgr;
        bgrFromRgb(planes.data(), rows, columns, strides, bgr);
        expectBgr(bgr, rows, columns);
    }
}

TEST(PixelLayout, InterleavedAndReversedRowsBecomeBgr) {
    const int rows = 70, columns = 9;
    std::vector<std::uint8_t> pixels(static_cast<size_t>(rows) * columns * 3);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            for (int c = 0; c < 3; ++c) pixels[(y * columns + x) * 3 + c] = code(y, x, c);
    cv::Mat bgr(1, 1, CV_8UC1);  // replaced: wrong size and type
    bgrFromRgb(pixels.data(), rows, columns, Strides{columns * 3, 3, 1}, bgr);
    expectBgr(bgr, rows, columns);

    // The same buffer seen upside down, as NumPy's rgb[::-1] presents it.
    cv::Mat flipped;
    bgrFromRgb(pixels.data() + (rows - 1) * columns * 3, rows, columns, Strides{-columns * 3, 3, 1},
               flipped);
    for (int y = 0; y < rows; ++y) {
        ASSERT_EQ(flipped.at<cv::Vec3b>(y, 4),
                  cv::Vec3b(code(rows - 1 - y, 4, 2), code(rows - 1 - y, 4, 1),
                            code(rows - 1 - y, 4, 0)));
    }
}

TEST(PixelLayout, RegionsKeepTheirValuesInEitherOrder) {
    const int rows = 67, columns = 4;
    std::vector<double> columnMajor(rows * columns);
    std::vector<std::int64_t> rowMajor(rows * columns);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            columnMajor[x * rows + y] = -2147483648.0 + y * 1000 + x;
            rowMajor[y * columns + x] = 2147483647 - y * 1000 - x;
        }
    }
    cv::Mat_<int> a, b;
    regionsFrom(columnMajor.data(), rows, columns, Strides{1, rows, 0}, a);
    regionsFrom(rowMajor.data(), rows, columns, Strides{columns, 1, 0}, b);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            ASSERT_EQ(a(y, x), INT32_MIN + y * 1000 + x);
            ASSERT_EQ(b(y, x), INT32_MAX - y * 1000 - x);
        }
    }
}

TEST(PixelLayout, LabelsBecomeColumnMajorDoubles) {
    for (const auto& size : kSizes) {
        const int rows = size[0], columns = size[1];
        cv::Mat_<int> labels(rows, columns);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) labels(y, x) = y * columns + x + 1;
        std::vector<double> out(static_cast<size_t>(rows) * columns, -1.0);
        labelsToColumnMajor(labels, out.data());
        for (int x = 0; x < columns; ++x)
            for (int y = 0; y < rows; ++y)
                ASSERT_EQ(out[static_cast<size_t>(x) * rows + y], y * columns + x + 1);
    }
}

}  // namespace
}  // namespace segmora::bindings
