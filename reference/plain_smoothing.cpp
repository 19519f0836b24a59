#include "plain_smoothing.h"

#include <algorithm>
#include <cmath>

namespace segmora {

namespace {

// Filters every row of `source` and writes the result transposed: the value for column x
// of row y lands at row x, column y. Two passes thus filter both ways and restore the shape.
cv::Mat_<float> filterRowsTransposed(const cv::Mat_<float>& source,
                                     const std::vector<float>& taps) {
    const int width = source.cols;
    cv::Mat_<float> result(source.cols, source.rows);
    for (int y = 0; y < source.rows; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum = source(y, x) * taps[0];
            for (int k = 1; k < static_cast<int>(taps.size()); ++k) {
                const float pair =
                    source(y, std::min(x + k, width - 1)) + source(y, std::max(x - k, 0));
                sum = sum + pair * taps[k];
            }
            result(x, y) = sum;
        }
    }
    return result;
}

}  // namespace

std::vector<float> normalisedGaussianTaps(float sigma) {
    const float s = sigma < 0.01f ? 0.01f : sigma;
    const int length = static_cast<int>(std::ceil(4.0 * double{s})) + 1;
    std::vector<float> taps;
    for (int i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / s;
        taps.push_back(static_cast<float>(std::exp(-0.5 * double{t * t})));
    }
    float sides = 0.0f;
    for (int i = 1; i < length; ++i) sides += std::fabs(taps[i]);
    const float total = std::fabs(taps[0]) + 2.0f * sides;
    for (float& tap : taps) tap = tap / total;
    return taps;
}

cv::Mat_<float> smoothPlane(const cv::Mat_<float>& plane, float sigma) {
    const std::vector<float> taps = normalisedGaussianTaps(sigma);
    return filterRowsTransposed(filterRowsTransposed(plane, taps), taps);
}

}  // namespace segmora
