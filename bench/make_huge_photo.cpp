// Makes a photo of any size for the runs beyond memory, in bounded memory:
//   make-huge-photo OUTPUT.tif WIDTHxHEIGHT PHOTO...
// writes an uncompressed, tiled (256 x 256) BigTIFF of 8-bit RGB pixels, a mosaic of crops
// of the photos at their own scale (never enlarged): cells of the smallest photo's size,
// the photos taken in turn, each crop at a different place and every second cell
// mirrored. The same pixels on every run with the same OpenCV. It is made band by band
// (256 rows of the whole width at a time), so memory stays a few tens of MB whatever the
// size: 46341 x 46341 (2^31 pixels) takes 6.4 GB of disk and about 35 MB of memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "quiet_standard_error.h"
#include "temporary_files.h"
#include "tiled_photo_writer.h"

namespace {

constexpr int64_t kTile = 256;

bool parseSize(const char* text, int64_t& width, int64_t& height) {
    char* rest = nullptr;
    width = std::strtoll(text, &rest, 10);
    if (*rest != 'x') return false;
    height = std::strtoll(rest + 1, &rest, 10);
    return *rest == '\0' && width > 0 && height > 0 && width <= UINT32_MAX && height <= UINT32_MAX;
}

// The photos at their own scale, blue-green-red; cells are the smallest width and height.
struct Mosaic {
    std::vector<cv::Mat> photos;
    int cellWidth = INT32_MAX, cellHeight = INT32_MAX;

    // Rows [top, top + rows) of the crop that fills cell (column, row), `width` columns of
    // it: photos in turn along rows and down columns.
    cv::Mat cell(int64_t column, int64_t row, int top, int rows, int width) const {
        const int64_t index = column + row * 3;
        const cv::Mat& photo = photos[static_cast<size_t>(index % int64_t(photos.size()))];
        const int64_t round = index / int64_t(photos.size());
        const int x = static_cast<int>((round * 37) % (photo.cols - cellWidth + 1));
        const int y = static_cast<int>((round * 23) % (photo.rows - cellHeight + 1));
        const cv::Mat crop = photo(cv::Rect(x, y + top, cellWidth, rows));
        if ((column + row) % 2 == 0) return crop(cv::Rect(0, 0, width, rows));
        cv::Mat mirrored;  // never in place: the crop is the photo's own pixels
        cv::flip(crop, mirrored, 1);
        return mirrored(cv::Rect(0, 0, width, rows));
    }
};

Mosaic readPhotos(int count, char** paths) {
    Mosaic mosaic;
    const segmora::QuietStandardError quiet;  // the codecs' own warnings
    for (int i = 0; i < count; ++i) {
        cv::Mat photo = cv::imread(paths[i], cv::IMREAD_COLOR);
        if (photo.empty())
            throw std::runtime_error(std::string("cannot read photo '") + paths[i] + "'");
        mosaic.cellWidth = std::min(mosaic.cellWidth, photo.cols);
        mosaic.cellHeight = std::min(mosaic.cellHeight, photo.rows);
        mosaic.photos.push_back(photo);
    }
    return mosaic;
}

// Rows [y, y + band.rows) of the mosaic, the whole width.
void fillBand(const Mosaic& mosaic, int64_t y, cv::Mat& band) {
    for (int64_t row = y / mosaic.cellHeight; row * mosaic.cellHeight < y + band.rows; ++row) {
        const int64_t top = row * mosaic.cellHeight;
        const int64_t from = std::max(y, top),
                      to = std::min<int64_t>(y + band.rows, top + mosaic.cellHeight);
        for (int64_t column = 0; column * mosaic.cellWidth < band.cols; ++column) {
            const int64_t left = column * mosaic.cellWidth;
            const int width =
                static_cast<int>(std::min<int64_t>(mosaic.cellWidth, band.cols - left));
            mosaic.cell(column, row, int(from - top), int(to - from), width)
                .copyTo(band(cv::Rect(int(left), int(from - y), width, int(to - from))));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    segmora::removeTemporaryFilesOnSignals();
    int64_t width = 0, height = 0;
    if (argc < 4 || !parseSize(argv[2], width, height)) {
        std::fprintf(stderr, "usage: make-huge-photo OUTPUT.tif WIDTHxHEIGHT PHOTO...\n");
        return 2;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const Mosaic mosaic = readPhotos(argc - 3, argv + 3);
        if (width > INT32_MAX / kTile / 3) throw std::runtime_error("at most 2796202 pixels wide");
        segmora::TiledPhotoWriter writer(argv[1], width, height, kTile);
        cv::Mat band(static_cast<int>(kTile), static_cast<int>(width), CV_8UC3);
        for (int64_t y = 0; y < height; y += kTile) {
            cv::Mat rows = band.rowRange(0, static_cast<int>(std::min(kTile, height - y)));
            fillBand(mosaic, y, rows);
            writer.write(0, y, rows);
        }
        writer.commit();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %lld x %lld pixels, %llu bytes, in %.1f s\n", argv[1], (long long)width,
                    (long long)height, (unsigned long long)writer.fileSize(), seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-huge-photo: %s\n", e.what());
        return 1;
    }
    return 0;
}
