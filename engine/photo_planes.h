#pragma once

#include <opencv2/core.hpp>

#include "large_buffer.h"
#include "pixel_channels.h"
#include "segmora/segmora.h"
#include "workspace.h"

namespace segmora {

// Channels as three planes in one buffer.
struct ChannelPlanes {
    LargeBuffer buffer;
    PixelChannels channels;
};

// The first channel's value for each 8-bit L: L * kLightnessScale as float.
struct LightnessTable {
    LightnessTable() {
        for (int v = 0; v < 256; ++v)
            value[v] = static_cast<float>(static_cast<double>(v) * kLightnessScale);
    }
    float value[256];
};

// Channels L * kLightnessScale, a, b of a blue-green-red photo (CV_8UC3): its
// 8-bit Lab values (see LabTables), converted straight into the planes with
// workspace.lab (which must be set) on up to workspace.threads threads. The buffer comes from the
// workspace's pool, with room for the photo's sorted edges, which take its block once the planes
// are read.
ChannelPlanes planesFromPhoto(const cv::Mat& bgr, const Workspace& workspace);

}  // namespace segmora
