#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "label_format.h"

namespace segmora {

class OutputFile;
// Writes the labels as comma-separated rows (OpenCV's CSV rendering of the
// matrix) followed by one line feed into `file`, and commits it: the file is
// replaced only when it has been written completely; failures throw
// std::runtime_error. Rows are formatted on up to `threads` threads (0: one
// per core, at most 8).
void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels, int threads = 0);
// The labels in `format` (the binary forms as binary_label_file.h writes them); commits.
void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels, LabelFormat format, int threads);

}  // namespace segmora
