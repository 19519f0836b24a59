#pragma once

#include <cstdint>
#include <cstdio>
#include <opencv2/core.hpp>

#include "photo_orientation.h"

namespace segmora {

// Decodes the PNG in `file` (read from its start) to 8-bit blue-green-red as
// OpenCV's reader does for a colour image (grey repeated, alpha dropped, 16-bit
// samples cut to their high byte, no gamma applied), turned by the orientation of
// its eXIf chunk as OpenCV's reader turns it (unless told to ignore it), and
// returns true. Returns false, with `bgr` to be ignored, for a PNG it leaves to
// OpenCV: palettes, grey below 8 bits, a transparent colour (tRNS), a side over
// 2^20 pixels (OpenCV refuses it), an eXIf chunk that photo_orientation.h leaves
// to OpenCV, anything libpng rejects.
bool decodePng(std::FILE* file, cv::Mat& bgr, Orientation orientation = Orientation::Apply);

// The longest side, in pixels, that the PNG library reads (its default user limit,
// which OpenCV's reader keeps too).
uint32_t pngLibrarySideLimit();

}  // namespace segmora
