#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

namespace segmora {

// The rules of a segmentation as the reference states them for itself, apart from the
// engine's copies, so that a change to either shows in the tests.

// Segments below this many pixels are absorbed in the clean-up by default.
constexpr int kReferenceMinSize = 5;

// The lightness scale of the photo's channels: L * 0.3, a, b of the 8-bit Lab values.
constexpr double kReferenceLightnessScale = 0.3;

// Largest segment a merge may make: pixels / capDivisor + 20, in double, truncated.
int32_t referenceSizeCap(int32_t pixelCount, int32_t capDivisor);

// Throws std::invalid_argument unless the reference can take an image of rows x columns
// pixels (fewer than 2^29) with these knobs (threshold finite and >= 0, sigma 0 .. 100,
// capDivisor >= 1, minSize >= 0) and a region map of the image's size (or empty).
void checkReferenceInput(int rows, int columns, float sigma, float threshold, int capDivisor,
                         int minSize, const cv::Mat_<int>& regions);

}  // namespace segmora
