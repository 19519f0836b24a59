#pragma once

#include <array>
#include <memory>
#include <opencv2/core.hpp>

#include "channel_image.h"
#include "large_buffer.h"
#include "pixel_channels.h"

namespace segmora {

// The engine's three input channels, made from what a caller hands over.

// Channels as three planes in one buffer (which the forest later reuses).
struct ChannelPlanes {
    LargeBuffer buffer;
    PixelChannels channels;
};

// Channels L * kLightnessScale, a, b of a blue-green-red photo (CV_8UC3). The
// photo is converted to 8-bit Lab a strip of rows at a time, straight into
// the planes: no Lab copy of the whole photo is made.
ChannelPlanes planesFromPhoto(const cv::Mat& bgr, BlockPool& pool);

using ChannelSet = std::array<std::unique_ptr<ChannelImage>, 3>;

// The three components of each pixel, rounded to float; `allFinite` tells
// whether every sample is a finite number.
ChannelSet channelsFromImage(const cv::Mat_<cv::Vec3d>& image, bool& allFinite, BlockPool& pool);

// The planes copied into channel images (for smoothing).
ChannelSet channelsFromPlanes(const ChannelPlanes& planes, int32_t width, int32_t height,
                              BlockPool& pool);

// Converts one pixel to Lab, once per process, before any photo's conversion: OpenCV fills
// its conversion tables on the first one without a lock.
void fillColourTablesOnce();

// Gaussian smoothing of each channel, skipped when it would change nothing.
void smoothChannels(ChannelSet& channels, float sigma, bool allFinite, BlockPool& pool);

// The channel images as the edge builder reads them.
PixelChannels planesOf(const ChannelSet& channels);

}  // namespace segmora
