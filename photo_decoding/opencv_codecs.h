#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace segmora {

// OpenCV's image reader and writers, loaded the first time one of them is
// called: that library and the dozens it pulls in take about 0.1 s to load,
// which a run that decodes its JPEG and PNG photos itself need not pay. Each
// does what the OpenCV function of the same name does; each throws
// std::runtime_error when the library cannot be loaded.
namespace opencv_codecs {

// OpenCV's reader refuses pictures with a side longer than this.
constexpr uint32_t kMaxSide = uint32_t{1} << 20;

// Whether the user set one of the limits of OpenCV's reader (OPENCV_IO_MAX_IMAGE_PIXELS,
// _WIDTH, _HEIGHT): then only OpenCV's reader may judge a photo.
bool readerLimitsSet();

cv::Mat imread(const std::string& path, int flags);
bool imencode(const std::string& extension, const cv::Mat& picture, std::vector<uchar>& bytes,
              const std::vector<int>& settings = {});
bool haveImageWriter(const std::string& path);

}  // namespace opencv_codecs

}  // namespace segmora
