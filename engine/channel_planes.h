#pragma once

#include "large_buffer.h"

namespace segmora {

// The three channel planes of an image, each row-major and contiguous.
struct PixelChannels {
    const float* planes[3] = {nullptr, nullptr, nullptr};
};

// Channels as three planes in one buffer.
struct ChannelPlanes {
    LargeBuffer buffer;
    PixelChannels channels;
};

}  // namespace segmora
