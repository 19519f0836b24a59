#pragma once

#include <opencv2/core.hpp>

namespace segmora {

// The partition of segmentImage (segment_image.h) computed step by step with
// plain data structures: 12-byte edges sorted by a stable comparison sort, a
// union-by-rank forest with a per-root threshold array, the clean-up as one
// pass over all edges and an ordered map for the labels. Kept as the
// reference that the engine is checked against; not part of the library.
// Segments below `minSize` pixels are absorbed in the clean-up.
void segmentImageReference(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                           int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                           const cv::Mat_<int>& constraints, int minSize = 5);

}  // namespace segmora
