#pragma once

#include <opencv2/core.hpp>
#include <vector>

namespace segmora {

// The reference's own Gaussian smoothing of one channel, written the plain way on OpenCV
// matrices, so that a fault in the engine's smoothing cannot hide behind a shared copy.

// The taps for `sigma`, scaled to unit total weight: element 0 weighs the centre sample,
// element k each of the two samples at distance k.
std::vector<float> normalisedGaussianTaps(float sigma);

// Filters along the rows and then along the columns with those taps, each pass taking
// positions beyond a row's ends from its end samples. Returns a new plane of the same shape.
cv::Mat_<float> smoothPlane(const cv::Mat_<float>& plane, float sigma);

}  // namespace segmora
