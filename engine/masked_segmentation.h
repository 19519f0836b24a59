#pragma once

#include <cstdint>
#include <functional>
#include <opencv2/core.hpp>

#include "channel_planes.h"
#include "segmora/segmora.h"
#include "workspace.h"

namespace segmora {

// The bytes of `mask` for an image of rows x columns pixels, contiguous (copied into `copy`
// when the matrix is not), or null when the run is the plain one: no mask (empty) or every
// byte inside. Throws std::invalid_argument unless `mask` is empty or a two-dimensional
// CV_8UC1 matrix of the image's size (non-zero: inside).
const uint8_t* maskForRun(const cv::Mat& mask, int rows, int columns, cv::Mat& copy);

// The segmentation of the inside pixels of the width x height channels: the plain engine
// on the pixel graph without any edge that has an end outside. Merging, size cap
// (pixels / capDivisor + 20 over all pixels, inside or not), regions and clean-up are the
// plain ones on the edges left, so an inside pixel without inside neighbours stays a
// superpixel of its own. Outside pixels get label 0; the superpixels are numbered 1..count
// in raster order of their first pixel. Only the edges between inside pixels are weighed,
// sorted and merged over. `mask`: one byte per pixel, contiguous; `release` is called once
// the channels are read for the last time.
Segmentation segmentMaskedChannels(const PixelChannels& channels, int32_t width, int32_t height,
                                   const uint8_t* mask, const std::function<void()>& release,
                                   const Parameters& parameters, const int32_t* regions,
                                   const Workspace& workspace);

}  // namespace segmora
