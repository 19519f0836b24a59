#pragma once

#include <opencv2/core.hpp>

#include "reference_rules.h"

namespace segmora {

// The partition of segmentImage (segmentation_pipeline.h) computed step by step with
// plain data structures: 12-byte edges sorted by a stable comparison sort, a
// union-by-rank forest with a per-root threshold array, the clean-up as one
// pass over all edges and an ordered map for the labels. Kept as the
// reference that the engine is checked against; not part of the library. It
// shares no code with the engine: smoothing, size cap and checks are its own.
// Segments below `minSize` pixels are absorbed in the clean-up. An empty
// `constraints` means one region everywhere.
void segmentImageReference(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                           int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                           const cv::Mat_<int>& constraints, int minSize = kReferenceMinSize);

}  // namespace segmora
