#pragma once

#include <opencv2/core.hpp>
#include <string>

namespace segmora {

// Decodes the image at `path` as 8-bit blue-green-red. Throws
// std::runtime_error naming the file when it cannot be read or decoded, or
// when it has 2^29 pixels or more: for the formats of image_header.h that is
// known from the header, before any pixel is decoded. PNG and JPEG photos are
// decoded by the project's own readers unless the user set a limit of
// OpenCV's reader (OPENCV_IO_MAX_IMAGE_PIXELS, _WIDTH, _HEIGHT): then OpenCV's
// reader decodes every photo, and a refusal by that limit is reported as
// "too large" too.
cv::Mat_<cv::Vec3b> readColourImage(const std::string& path);

}  // namespace segmora
