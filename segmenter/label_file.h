#pragma once

#include <opencv2/core.hpp>
#include <string>

namespace segmora {

// Writes the labels as comma-separated rows (OpenCV's CSV rendering of the
// matrix) followed by one line feed. The file is replaced only when it has
// been written completely; failures throw std::runtime_error.
void writeLabelMap(const std::string& outputPath, const cv::Mat_<int>& labels);

class OutputFile;
// The same into a file opened earlier; commits it.
void writeLabelMap(OutputFile& file, const cv::Mat_<int>& labels);

}  // namespace segmora
