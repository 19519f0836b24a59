#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "photo_orientation.h"

namespace segmora {

// Decodes the image at `path` as 8-bit blue-green-red. Throws
// std::runtime_error naming the file when it cannot be read or decoded, or
// when it has 2^29 pixels or more: for the formats of image_header.h that is
// known from the header, before any pixel is decoded. PNG and JPEG photos are
// decoded by the project's own readers unless the user set a limit of
// OpenCV's reader (OPENCV_IO_MAX_IMAGE_PIXELS, _WIDTH, _HEIGHT): then OpenCV's
// reader decodes every photo, and a refusal by that limit is reported as
// "too large" too. The photo is turned upright by its recorded orientation (Exif,
// PNG eXIf) as OpenCV's reader turns it, unless `orientation` says to ignore it.
// A JPEG of more than kMaxJpegScans scans (jpeg_scans.h) and a PNG wider or taller
// than the PNG library reads are refused before decoding, naming that limit.
// Throws std::bad_alloc or cv::Exception (StsNoMem) when memory runs out.
cv::Mat_<cv::Vec3b> readColourImage(const std::string& path,
                                    Orientation orientation = Orientation::Apply);

}  // namespace segmora
