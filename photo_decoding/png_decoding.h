#pragma once

#include <cstdio>
#include <opencv2/core.hpp>

namespace segmora {

// Decodes the PNG in `file` (read from its start) to 8-bit blue-green-red as
// OpenCV's reader does for a colour image (grey repeated, alpha dropped, 16-bit
// samples cut to their high byte, no gamma applied) and returns true. Returns
// false, with `bgr` to be ignored, for a PNG it leaves to OpenCV: palettes,
// grey below 8 bits, a transparent colour (tRNS), a side over 2^20 pixels
// (OpenCV refuses it), anything libpng rejects.
bool decodePng(std::FILE* file, cv::Mat& bgr);

}  // namespace segmora
