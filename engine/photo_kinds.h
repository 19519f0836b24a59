// The photos segmentPhoto and describe take: OpenCV matrices of 1 to 4 channels of 8-bit,
// 16-bit or floating-point (0..1) pixels, as cv::imread(path, cv::IMREAD_UNCHANGED) gives
// them, brought to the 8-bit blue-green-red pixels the engine works on by the rules of
// photo_pixels.h.
#pragma once

#include <opencv2/core.hpp>

namespace segmora {

// `photo` as 8-bit blue-green-red: `photo` itself when it already is (CV_8UC3) or has no
// pixels, else `converted`, filled with it. Throws std::invalid_argument for a photo of
// more than two dimensions, another element kind or channel count, or a floating-point
// value outside 0..1 (named by its row, column and channel).
const cv::Mat& bgrPhoto(const cv::Mat& photo, cv::Mat& converted);

}  // namespace segmora
