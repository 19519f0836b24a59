#pragma once

#include <opencv2/core.hpp>

#include "large_buffer.h"
#include "pixel_channels.h"

namespace segmora {

// Channels as three planes in one buffer.
struct ChannelPlanes {
    LargeBuffer buffer;
    PixelChannels channels;
};

// Channels L * kLightnessScale, a, b of a blue-green-red photo (CV_8UC3). The
// photo is converted to 8-bit Lab a strip of rows at a time, straight into
// the planes: no Lab copy of the whole photo is made. The buffer has room for
// the photo's sorted edges, which take its block once the planes are read.
ChannelPlanes planesFromPhoto(const cv::Mat& bgr, BlockPool& pool);

}  // namespace segmora
