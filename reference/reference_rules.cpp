#include "reference_rules.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace segmora {

int32_t referenceSizeCap(int32_t pixelCount, int32_t capDivisor) {
    return static_cast<int32_t>(double(pixelCount) / double(capDivisor) + 20.0);
}

void checkReferenceInput(int rows, int columns, float sigma, float threshold, int capDivisor,
                         int minSize, const cv::Mat_<int>& regions) {
    if (int64_t{rows} * columns >= (int64_t{1} << 29)) {
        throw std::invalid_argument("image too large: " + std::to_string(columns) + " x " +
                                    std::to_string(rows));
    }
    if (!std::isfinite(threshold) || threshold < 0) throw std::invalid_argument("threshold");
    if (!(sigma >= 0 && sigma <= 100)) throw std::invalid_argument("sigma");
    if (capDivisor < 1) throw std::invalid_argument("cap divisor");
    if (minSize < 0) throw std::invalid_argument("minimum size");
    if (!regions.empty() && (regions.rows != rows || regions.cols != columns)) {
        throw std::invalid_argument("region map size");
    }
}

}  // namespace segmora
