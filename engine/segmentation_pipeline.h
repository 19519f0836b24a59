#pragma once

#include <opencv2/core.hpp>

#include "segmora/segmora.h"
#include "workspace.h"

namespace segmora {

// Partitions `image` (three channels per pixel, e.g. L * kLightnessScale, a, b) into
// superpixels with `parameters` (capDivisor resolved, threads taken from the workspace).
// `regions` holds a region id per pixel: two segments merge only when their ids are equal
// (segments below parameters.minSize pixels excepted); empty means one region everywhere.
// The big arrays come from the workspace's pool and go back to it.
//
// Throws std::invalid_argument when the knobs are out of range, `regions` does not have the
// image's size or the image has kMaxPixelCount pixels or more, and std::bad_alloc when
// memory runs out.
Segmentation segmentImage(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                          const cv::Mat_<int>& regions, const Workspace& workspace);

// The same for a blue-green-red photo (CV_8UC3, checked by checkPhoto), converted to Lab
// strip by strip: exactly the labels of segmentImage on the channels L * kLightnessScale,
// a and b of the photo's 8-bit Lab image.
Segmentation segmentBgrPhoto(const cv::Mat& bgr, const Parameters& parameters,
                             const cv::Mat_<int>& regions, const Workspace& workspace);

}  // namespace segmora
