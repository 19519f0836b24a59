#pragma once

#include <opencv2/core.hpp>
#include <string>

namespace segmora {

// Checks a finished label map: labels run 1 .. segmentCount without gaps and
// first occur in raster order, every segment is 8-connected, and no segment
// has fewer than kReferenceMinSize pixels unless the whole image has. Returns an empty string
// when all hold, else a description of the first violation.
std::string labelMapViolation(const cv::Mat_<int>& labels, int segmentCount);

}  // namespace segmora
