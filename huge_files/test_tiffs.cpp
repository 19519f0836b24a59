#include "test_tiffs.h"

#include <tiffio.h>

#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <vector>

namespace {

void setFields(TIFF* tif, const cv::Mat& pixels, const TiffKind& kind) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.cols));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(pixels.rows));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(kind.bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(kind.samples));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, kind.sampleFormat);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, kind.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, kind.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
                 kind.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (kind.photometric == PHOTOMETRIC_YCBCR) {  // libtiff takes RGB and converts it
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (kind.samples == 2 || kind.samples == 4) {
        const uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &alpha);
    }
    if (kind.photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> map(size_t(1) << kind.bits, 0);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
    }
    if (kind.tile > 0) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, uint32_t(kind.tile));
        TIFFSetField(tif, TIFFTAG_TILELENGTH, uint32_t(kind.tile));
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(kind.rowsPerStrip));
    }
}

// The bytes of block (x, y, w, h) of a plane (or all planes), zero outside the image.
std::vector<uint8_t> blockBytes(const cv::Mat& pixels, const TiffKind& kind, int x, int y, int w,
                                int h, int plane) {
    const int pixelBytes = kind.bits / 8 * (kind.separatePlanes ? 1 : kind.samples);
    std::vector<uint8_t> bytes(size_t(w) * h * pixelBytes, 0);
    for (int r = 0; r < h && y + r < pixels.rows; ++r) {
        for (int c = 0; c < w && x + c < pixels.cols; ++c) {
            const uint8_t* from = pixels.ptr<uint8_t>(y + r) + size_t(x + c) * pixels.elemSize();
            uint8_t* to = bytes.data() + (size_t(r) * w + c) * pixelBytes;
            for (int b = 0; b < pixelBytes; ++b) {
                to[b] = kind.separatePlanes ? from[plane * kind.bits / 8 + b] : from[b];
            }
        }
    }
    return bytes;
}

}  // namespace

void writeTestTiff(const std::string& path, const cv::Mat& pixels, const TiffKind& kind) {
    const std::string mode =
        std::string("w") + (kind.big ? "8" : "") + (kind.bigEndian ? "b" : "l");
    TIFF* tif = TIFFOpen(path.c_str(), mode.c_str());
    if (tif == nullptr) throw std::runtime_error("cannot write " + path);
    setFields(tif, pixels, kind);
    const int planes = kind.separatePlanes ? kind.samples : 1;
    bool good = true;
    for (int plane = 0; plane < planes; ++plane) {
        const int bw = kind.tile > 0 ? kind.tile : pixels.cols;
        const int bh = kind.tile > 0 ? kind.tile : kind.rowsPerStrip;
        for (int y = 0; y < pixels.rows; y += bh) {
            for (int x = 0; x < pixels.cols; x += bw) {
                const int rows = kind.tile > 0 ? bh : std::min(bh, pixels.rows - y);
                std::vector<uint8_t> bytes = blockBytes(pixels, kind, x, y, bw, rows, plane);
                const tmsize_t n = static_cast<tmsize_t>(bytes.size());
                good =
                    good &&
                    (kind.tile > 0 ? TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, plane),
                                                          bytes.data(), n) >= 0
                                   : TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, y, plane),
                                                           bytes.data(), n) >= 0);
            }
        }
    }
    TIFFClose(tif);
    if (!good) throw std::runtime_error("cannot write " + path);
}

cv::Mat samplePhoto(int w, int h) {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLES "/coffee.png", cv::IMREAD_COLOR);
    if (photo.cols < w || photo.rows < h) throw std::runtime_error("the sample is too small");
    return photo(cv::Rect(photo.cols - w, photo.rows - h, w, h)).clone();
}
