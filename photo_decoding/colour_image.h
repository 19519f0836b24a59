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

// As above, for 16-bit samples that hold only their low `sampleBits` bits (12-bit camera
// data, say): such a photo is decoded at 16 bits and brought to 8 bits:
// each sample becomes value >> (sampleBits - 8), at most 255, so it keeps all its grey
// levels (the rule every host's bit-depth option follows). An 8-bit photo is unaffected; 16
// is the function above (the high byte). Throws std::invalid_argument outside 8..16.
cv::Mat_<cv::Vec3b> readColourImage(const std::string& path, Orientation orientation,
                                    int sampleBits);

}  // namespace segmora
