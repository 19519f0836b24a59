#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

// libtiff's handle, kept out of the callers' includes.
struct tiff;

namespace segmora {

// A TIFF or BigTIFF photo read by rectangles, so that no more of it is in memory than the
// strips or tiles a rectangle touches: photos far larger than memory can be segmented
// tile by tile. Striped or tiled, with any compression this machine's libtiff decodes.
//
// Pixels: 8-bit unsigned samples in one plane (chunky), either RGB (an extra sample, such
// as alpha, is dropped) or grey (given as grey RGB), rows from the top-left. JPEG-compressed
// YCbCr photos are decoded to RGB by libtiff. Anything else is refused when the photo is
// opened, with one std::runtime_error "cannot read photo 'PATH': WHAT" (16-bit or floating-
// point or signed samples, palette colours, separate planes, other sample counts, not a
// TIFF); damaged or truncated data throws the same way when a rectangle reaches it.
// libtiff's own messages go into those errors, never to the standard error stream.
//
// Not safe for calls from several threads at once: open one TiffPhoto per thread.
class TiffPhoto {
  public:
    explicit TiffPhoto(const std::string& path);
    ~TiffPhoto();
    TiffPhoto(const TiffPhoto&) = delete;
    TiffPhoto& operator=(const TiffPhoto&) = delete;

    int64_t width() const { return photoWidth; }
    int64_t height() const { return photoHeight; }
    bool tiled() const { return isTiled; }
    // The rows of one strip or of one row of tiles: rectangles whose rows start and end at a
    // multiple of it (or the last row) decode no strip or tile that another one decodes too.
    int64_t blockRows() const { return blockHeight; }

    // The w x h pixels at (x, y) as CV_8UC3 blue-green-red, as cv::imread gives them (the
    // order segmentPhoto takes). Decodes only the strips or tiles the rectangle meets, each
    // once. Throws std::invalid_argument for a rectangle outside the photo.
    cv::Mat readRect(int64_t x, int64_t y, int64_t w, int64_t h);

  private:
    void checkPixels();
    void checkHeader() const;
    void readTiles(cv::Mat& out, int64_t x, int64_t y);
    void readStrips(cv::Mat& out, int64_t x, int64_t y);
    // Copies the part of the decoded block at (bx, by), bw pixels wide, that lies in `out`
    // (whose top-left pixel is at (x, y)).
    void copyBlock(cv::Mat& out, int64_t x, int64_t y, int64_t bx, int64_t by, int64_t bw,
                   int64_t bh) const;
    [[noreturn]] void fail(const std::string& what) const;

    std::string path;
    tiff* handle = nullptr;
    std::string errors;  // libtiff's last message
    int64_t photoWidth = 0, photoHeight = 0;
    int64_t blockWidth = 0, blockHeight = 0;  // a tile, or a strip's width and rows
    bool isTiled = false;
    int samples = 0;             // per pixel in the decoded data
    bool grey = false;           // one colour sample
    std::vector<uint8_t> block;  // one decoded strip or tile
};

}  // namespace segmora
