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
//
// A non-empty `mask` (one byte per pixel, non-zero inside) makes the plain model of a
// masked segmentation: the same steps on the graph without the edges that have an end
// outside (the size cap still over all pixels); outside pixels get label 0, the segments
// inside 1 .. segmentCount in raster order of their first pixels.
void segmentImageReference(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                           int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                           const cv::Mat_<int>& constraints, int minSize = kReferenceMinSize,
                           const cv::Mat_<uint8_t>& mask = cv::Mat_<uint8_t>());

}  // namespace segmora
