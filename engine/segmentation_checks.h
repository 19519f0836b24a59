#pragma once

#include <opencv2/core.hpp>

#include "segmora/segmora.h"

namespace segmora {

// Throws std::invalid_argument naming the culprit unless the engine can take an image of
// rows x columns pixels with these knobs and this region map (null or empty: none).
// `parameters.capDivisor` must be resolved (not 0) by then.
void checkSegmentationInput(int rows, int columns, const Parameters& parameters,
                            const cv::Mat_<int>* regions);

// The photo checks: two dimensions, CV_8UC3, not empty.
void checkPhoto(const cv::Mat& bgr);

// `parameters` with a capDivisor of 0 replaced by the photo default.
Parameters resolvedPhotoParameters(Parameters parameters, bool withRegions);

}  // namespace segmora
