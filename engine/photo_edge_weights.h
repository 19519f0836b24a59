#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "edge_weights.h"
#include "lab_conversion.h"
#include "photo_planes.h"

namespace segmora {

// The weight of any one edge of a photo (CV_8UC3, blue-green-red), computed
// from its pixels with the bits the edge builder gets from the planes: for the
// clean-up, which needs a few weights after the planes have been given back.
class PhotoEdgeWeights {
  public:
    PhotoEdgeWeights(const cv::Mat& bgr, const LabTables& tables) : bgr(bgr), tables(tables) {}

    // Weight of the edge between pixels p and q (row * width + column).
    float operator()(int32_t p, int32_t q) const {
        float cp[3], cq[3];
        channelsOf(p, cp);
        channelsOf(q, cq);
        return distanceOfDifferences(cp[0] - cq[0], cp[1] - cq[1], cp[2] - cq[2]);
    }

  private:
    void channelsOf(int32_t pixel, float channels[3]) const {
        const int row = pixel / bgr.cols, column = pixel % bgr.cols;
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
