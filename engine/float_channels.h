#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>

#include "channel_planes.h"
#include "large_buffer.h"
#include "photo_lab_planes.h"

namespace segmora {

// One channel of float samples, row after row without gaps. Samples are
// addressed through the row table: rowTable[y][x] is column x of row y.
// The samples live in a block of `pool`, which must outlive the image.
struct ChannelImage {
    ChannelImage(BlockPool& pool, int32_t width, int32_t height, bool zeroFill);

    ChannelImage(const ChannelImage&) = delete;
    ChannelImage& operator=(const ChannelImage&) = delete;

    LargeBuffer storage;
    float* data;
    std::unique_ptr<float*[]> rowTable;
    int32_t width;
    int32_t height;
};

// The general engine's three input channels, as channel images that can be
// smoothed.
using ChannelSet = std::array<std::unique_ptr<ChannelImage>, 3>;

// The three components of each pixel, rounded to float; `allFinite` tells
// whether every sample is a finite number.
ChannelSet channelsFromImage(const cv::Mat_<cv::Vec3d>& image, bool& allFinite, BlockPool& pool);

// The planes copied into channel images (for smoothing).
ChannelSet channelsFromPlanes(const ChannelPlanes& planes, int32_t width, int32_t height,
                              BlockPool& pool);

// Gaussian smoothing of each channel, skipped when it would change nothing.
void smoothChannels(ChannelSet& channels, float sigma, bool allFinite, BlockPool& pool);

// The channel images as the edge builder reads them.
PixelChannels planesOf(const ChannelSet& channels);

}  // namespace segmora
