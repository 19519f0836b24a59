// The sweep's picture: boundary recall and undersegmentation error of each setting against
// its mean superpixel count, drawn with OpenCV's drawing functions.
#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "sweep_table.h"

namespace segmora {

// A white 8-bit BGR picture with axes, ticks, labels, a legend and one point per setting
// that has photos for each measure, joined in order of the count.
cv::Mat plotSweep(const std::vector<SettingSummary>& summaries, int tolerance);

}  // namespace segmora
