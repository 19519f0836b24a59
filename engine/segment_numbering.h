#pragma once

#include <cstdint>

#include "segment_forest.h"

namespace segmora {

// Writes label 1, 2, ... per segment in raster order of first pixels; each
// root's size becomes minus its label.
void numberSegments(SegmentForest& forest, int32_t* labels, int32_t pixelCount);

}  // namespace segmora
