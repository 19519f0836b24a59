#include "segmentation_checks.h"

#include <stdexcept>
#include <string>

#include "segmora/segmora.h"

namespace segmora {

void checkSegmentationInput(int rows, int columns, int capDivisor,
                            const cv::Mat_<int>* constraints) {
    if (int64_t{rows} * columns >= kMaxPixelCount) {
        throw std::invalid_argument("image of " + std::to_string(columns) + " x " +
                                    std::to_string(rows) +
                                    " pixels is too large (the limit is 2^29 pixels)");
    }
    if (capDivisor <= 0) throw std::invalid_argument("size-cap divisor must be positive");
    if (constraints == nullptr) return;
    if (constraints->dims != 2 || constraints->rows != rows || constraints->cols != columns) {
        throw std::invalid_argument("region map has " + std::to_string(constraints->cols) + " x " +
                                    std::to_string(constraints->rows) +
                                    " cells but the image has " + std::to_string(columns) + " x " +
                                    std::to_string(rows) + " pixels");
    }
}

}  // namespace segmora
