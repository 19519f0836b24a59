#pragma once

#include <opencv2/core.hpp>

namespace segmora {

// A photo's channels made the plain way, for the reference path and the tools that compare
// with it: the whole photo converted at once, not in strips as the engine does.

// 8-bit Lab of the colour image (L stretched to 0..255, a and b offset by 128).
cv::Mat_<cv::Vec3b> toLab(const cv::Mat_<cv::Vec3b>& colour);

// The 8-bit Lab values as doubles, L multiplied by kReferenceLightnessScale.
cv::Mat_<cv::Vec3d> toEngineImage(const cv::Mat_<cv::Vec3b>& lab);

}  // namespace segmora
