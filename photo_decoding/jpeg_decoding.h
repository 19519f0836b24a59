#pragma once

#include <cstdio>
#include <opencv2/core.hpp>

namespace segmora {

// Decodes the JPEG in `file` (read from its start) to 8-bit blue-green-red with
// the decoder's default settings, as OpenCV's reader does with the same
// libjpeg for a colour image, and returns true. Returns false, with `bgr` to
// be ignored, for a JPEG it leaves to OpenCV: other than one or three
// components of 8 bits (CMYK, YCCK), an Exif orientation other than upright
// (OpenCV turns the picture), a side over 2^20 pixels (OpenCV refuses it),
// anything the decoder rejects.
bool decodeJpeg(std::FILE* file, cv::Mat& bgr);

}  // namespace segmora
