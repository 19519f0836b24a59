#pragma once

#include <cmath>
#include <cstdint>
#include <opencv2/core.hpp>

#include "float_channels.h"

namespace segmora {

// One pair of 8-connected neighbours: `a` is the pixel whose turn produced
// the edge, `b` its neighbour (vertex = row * width + column).
struct GraphEdge {
    float weight;
    int32_t a;
    int32_t b;
};

// Colour distance of two pixels of the three smoothed channels.
inline float edgeWeight(const float* const* s0, const float* const* s1, const float* const* s2,
                        int32_t yA, int32_t xA, int32_t yB, int32_t xB) {
    const float d0 = s0[yA][xA] - s0[yB][xB];
    const float d1 = s1[yA][xA] - s1[yB][xB];
    const float d2 = s2[yA][xA] - s2[yB][xB];
    return std::sqrt((d0 * d0 + d1 * d1) + d2 * d2);
}

// Appends the edges of every pixel of the three width x height channels (rows given
// through row tables) in row-major order (right, below, below right, above right) and
// returns how many were written.
int32_t buildEdges(const float* const* s0, const float* const* s1, const float* const* s2,
                   int32_t width, int32_t height, GraphEdge* edges);

// The same for three planes of one shape.
int32_t buildEdges(const cv::Mat_<float>& s0, const cv::Mat_<float>& s1, const cv::Mat_<float>& s2,
                   GraphEdge* edges);

// The same for the engine's channel images, for the tools that time or probe its stages.
int32_t buildEdges(const ChannelImage& s0, const ChannelImage& s1, const ChannelImage& s2,
                   GraphEdge* edges);

}  // namespace segmora
