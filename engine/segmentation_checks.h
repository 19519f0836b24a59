#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

namespace segmora {

// Throws std::invalid_argument unless the engine can take an image of this
// size with these constraints (null: none) and this divisor.
void checkSegmentationInput(int rows, int columns, int capDivisor,
                            const cv::Mat_<int>* constraints);

}  // namespace segmora
