#pragma once

#include <opencv2/core.hpp>

#include "workspace.h"

namespace segmora {

// Partitions `image` (three channels per pixel, e.g. L * kLightnessScale, a,
// b) into superpixels. `labels` is re-created with the image's size and
// receives the labels 1 .. segmentCount, numbered in raster order of each
// segment's first pixel. `constraints` holds a region id per pixel: two
// segments merge only when their ids are equal (segments below
// kMinSegmentSize pixels excepted); empty means one region everywhere. The
// size cap of a segment is pixelCount / capDivisor + 20. The big arrays come
// from the workspace's pool and go back to it.
//
// Throws std::invalid_argument when `constraints` does not have the image's
// size, `capDivisor` is not positive or the image has kMaxPixelCount pixels
// or more, and std::bad_alloc when memory runs out.
void segmentImage(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold, int& segmentCount,
                  cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>& constraints,
                  const Workspace& workspace);

// The same for an 8-bit Lab image (L stretched to 0..255, a and b offset by
// 128) with sigma 0: the channels are L * kLightnessScale, a and b, exactly
// as if the image had been converted to doubles first. `constraints` may be
// null, which means one region everywhere.
void segmentLabImage(const cv::Mat_<cv::Vec3b>& lab, float threshold, int& segmentCount,
                     cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>* constraints,
                     const Workspace& workspace);

// The same for a blue-green-red photo (CV_8UC3), converted to Lab strip by
// strip: exactly the labels of segmentLabImage on the photo's Lab image.
void segmentBgrPhoto(const cv::Mat& bgr, float threshold, int& segmentCount, cv::Mat_<int>& labels,
                     int capDivisor, const cv::Mat_<int>* constraints, const Workspace& workspace);

}  // namespace segmora
