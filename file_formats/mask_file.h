#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>

namespace segmora {

// A mask read from a file: which pixels of a photo are segmented.
struct MaskFile {
    cv::Mat_<uint8_t> inside;  // 1: segmented, 0: outside (label 0)
    bool pictureRule = false;  // read as an 8-bit picture (kPictureMaskRule)
};

// How an 8-bit picture becomes a mask, in words for messages and help.
constexpr const char* kPictureMaskRule =
    "a pixel of an 8-bit picture mask is inside when its blue, green and red are all above 200";

// Reads the mask at `path` for a photo of rows x columns pixels, by what its first bytes say:
//  - an 8-bit picture (PNG of 8 bits or fewer, 8-bit TIFF, JPEG, BMP, ... anything OpenCV
//    decodes) is read in colour as cv::imread(path, 1) reads it, and a pixel is inside when
//    all three of its bytes are above 200;
//  - NumPy .npy, text, 16-bit PNG and 16- or 32-bit integer TIFF files are read as region
//    maps are (region_map.h), and a pixel is inside when its value is not 0;
//  - a floating-point .npy or TIFF file must hold only 0 and 1 (1: inside).
// Throws std::runtime_error naming the file: an empty or unreadable file, another size than
// the photo's, more than one channel, a floating-point value other than 0 and 1.
MaskFile readMaskFile(const std::string& path, int rows, int columns);

// The mask of the photo NAME.EXT in `folder`: the first of folder/NAME.png, .npy, .txt,
// .tif, .tiff and .csv that exists, else the .png one (whose absence readMaskFile reports).
std::string maskFileFor(const std::string& folder, const std::string& name);

}  // namespace segmora
