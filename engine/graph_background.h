// Label 0 in a label map given to describe() is background, the usual convention of label
// images: it gets no node and no edges and counts in no sum or mean. The
// one-pass graph itself knows only labels 1 .. count; background reaches it as one more
// label, count + 1, whose node and edges are dropped from the result.
#pragma once

#include <opencv2/core.hpp>

#include "segmora/segmora.h"

namespace segmora {

// The labels of `s` with every 0 made count + 1, or an empty matrix when no pixel is 0.
// Throws std::invalid_argument (refuseLabel) for a label outside 0 .. count.
cv::Mat_<int> backgroundAsLastLabel(const Segmentation& s);

// `g` of labels 1 .. n + 1 without label n + 1: its node and every edge to it.
void dropLastLabel(SuperpixelGraph& g);

// The message of a label outside 0 .. count at (y, x).
[[noreturn]] void refuseLabel(int label, int y, int x, int count);

}  // namespace segmora
