// The sweep's picture: boundary recall and undersegmentation error of each setting against
// its mean superpixel count, drawn with OpenCV's drawing functions.
#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "sweep_table.h"

namespace segmora {

// A white 8-bit BGR picture with named axes, ticks, a legend and one point per setting
// that has photos for each measure, each labelled with its values of the varied knobs;
// settings that differ in one knob only are joined by a line (sweep_series.h). `partial`,
// when not empty, says in red at the top that the run was partial and why.
cv::Mat plotSweep(const std::vector<SettingSummary>& summaries, int tolerance,
                  const std::string& partial = "");

}  // namespace segmora
