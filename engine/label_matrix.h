#pragma once

#include <opencv2/core.hpp>

#include "large_buffer.h"

namespace segmora {

// A rows x cols label matrix in the start of `spent`'s block, whose contents
// are no longer needed (the sorted edges after the clean-up): the labels then
// take no fresh memory. The rest of the block goes back to the system and the
// buffer is left empty. When the block is too small (or `spent` is empty),
// fresh memory is used. The matrix owns its memory and gives it back when the
// last copy is released, whether or not the pool still exists. Contents unset.
cv::Mat_<int> labelMatrixIn(LargeBuffer& spent, int rows, int cols);

}  // namespace segmora
