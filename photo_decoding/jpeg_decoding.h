#pragma once

#include <cstdio>
#include <opencv2/core.hpp>

#include "photo_orientation.h"

namespace segmora {

// Decodes the JPEG in `file` (read from its start) to 8-bit blue-green-red with
// the decoder's default settings, as OpenCV's reader does with the same
// libjpeg for a colour image, turned by the orientation of its first APP1
// segment as OpenCV's reader turns it (unless told to ignore it), and returns
// true. Returns false, with `bgr` to be ignored, for a JPEG it leaves to
// OpenCV: other than one or three components of 8 bits (CMYK, YCCK), an
// orientation record that photo_orientation.h leaves to OpenCV, a side over
// 2^20 pixels (OpenCV refuses it), anything the decoder rejects. Throws
// std::bad_alloc when the decoder runs out of memory or would need more than
// a progressive photo of 2^29 pixels needs.
bool decodeJpeg(std::FILE* file, cv::Mat& bgr, Orientation orientation = Orientation::Apply);

}  // namespace segmora
