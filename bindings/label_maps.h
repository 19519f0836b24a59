// The label maps and the tolerance of an evaluation, from host arrays: the segmentation's
// labels and each truth hold integers of any kind, bool, or whole floating-point numbers,
// all in the int32 range (only which pixels share a label matters to the measures).
#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "host_array.h"
#include "host_photo.h"

namespace segmora::bindings {

// Checks a label map's kind and shape, `name` naming it in messages: the labels (`like`
// null) must be two-dimensional, a truth the labels' size. Throws ArgumentError.
PhotoSize checkLabelMap(const HostArray& map, const std::string& name, const PhotoSize* like,
                        const HostStyle& style);

// The map as a row-major int matrix: a view of the host's array when it already is one,
// else `copy` filled with it. Throws ArgumentError for a value outside the int32 range.
cv::Mat_<int> labelMapFrom(const HostArray& map, PhotoSize size, const std::string& name,
                           const HostStyle& style, cv::Mat_<int>& copy);

// A tolerance: a whole number from 0 to 2^31 - 1. Throws ArgumentError.
int toleranceFrom(double value);

}  // namespace segmora::bindings
