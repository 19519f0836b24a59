#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>

// TIFF files of every kind the tests read, written with libtiff.
struct TiffKind {
    bool big = false;           // BigTIFF
    int tile = 0;               // tiles of tile x tile pixels; 0: strips
    int rowsPerStrip = 7;       // for strips
    uint16_t compression = 1;   // COMPRESSION_*
    int bits = 8;               // 8, 16 or 32 per sample
    uint16_t sampleFormat = 1;  // SAMPLEFORMAT_*
    uint16_t photometric = 2;   // PHOTOMETRIC_*
    bool separatePlanes = false;
    int samples = 3;  // per pixel, the pixel's own channels first
    bool bigEndian = false;
};

// Writes `pixels` (CV_8UC1, 3 or 4, colours in RGB order; other sizes are written from
// its bytes as they are) in that kind; throws when libtiff refuses.
void writeTestTiff(const std::string& path, const cv::Mat& pixels, const TiffKind& kind);

// A real photo's crop of w x h pixels (blue-green-red), from the samples.
cv::Mat samplePhoto(int w, int h);
