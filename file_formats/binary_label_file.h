#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "label_format.h"

namespace segmora {

class OutputFile;

// The most superpixels a 16-bit PNG label file holds.
constexpr int kMaxPngLabels = 65535;

// Throws std::runtime_error naming the label file when `count` labels do not fit
// `format` (more than kMaxPngLabels in a PNG); call it before anything is written.
void checkLabelCount(LabelFormat format, int count, const std::string& shownPath);

// Writes the labels in one of the binary forms (Png, Npy or Tiff) and commits the file.
// Pixel (y, x) of the picture, or element [y, x] of the array, holds labels(y, x).
void writeBinaryLabelMap(OutputFile& file, const cv::Mat_<int>& labels, LabelFormat format);

}  // namespace segmora
