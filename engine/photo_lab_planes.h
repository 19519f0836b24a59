#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "channel_planes.h"
#include "edge_weights.h"
#include "lab_conversion.h"
#include "large_buffer.h"
#include "segmora/segmora.h"
#include "workspace.h"

namespace segmora {

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
// are read. With `only` (a byte per pixel), only the pixels where it is not 0 are converted;
// the others' channels are left unset.
ChannelPlanes planesFromPhoto(const cv::Mat& bgr, const Workspace& workspace,
                              const uint8_t* only = nullptr);

// The weight of any one edge of a photo (CV_8UC3, blue-green-red), computed
// from its pixels with the bits the edge builder gets from the planes: for the
// clean-up, which needs a few weights after the planes have been given back.
class PhotoEdgeWeights {
  public:
    PhotoEdgeWeights(const cv::Mat& bgr, const LabTables& tables) : bgr(bgr), tables(tables) {}

    // Weight of the edge between pixels p and q (row * width + column).
    float operator()(int32_t p, int32_t q) const {
        float cp[3], cq[3];
        channelsAt(p / bgr.cols, p % bgr.cols, cp);
        channelsAt(q / bgr.cols, q % bgr.cols, cq);
        return between(cp, cq);
    }

    // The same weight from the channels of p and q, as channelsAt gives them: a pixel
    // with several edges is converted once.
    static float between(const float cp[3], const float cq[3]) {
        return distanceOfDifferences(cp[0] - cq[0], cp[1] - cq[1], cp[2] - cq[2]);
    }

    void channelsAt(int row, int column, float channels[3]) const {
        uint8_t lab[3];
        tables.convert(bgr.ptr<uint8_t>(row) + 3 * column, lab);
        channels[0] = lightness.value[lab[0]];
        channels[1] = static_cast<float>(lab[1]);
        channels[2] = static_cast<float>(lab[2]);
    }

    const cv::Mat& bgr;
    const LabTables& tables;
    LightnessTable lightness;
};

}  // namespace segmora
