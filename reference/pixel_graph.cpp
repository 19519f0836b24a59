#include "pixel_graph.h"

#include <vector>

namespace segmora {

int32_t buildEdges(const float* const* r0, const float* const* r1, const float* const* r2,
                   int32_t width, int32_t height, GraphEdge* edges) {
    int32_t count = 0;
    auto add = [&](int32_t y, int32_t x, int32_t ny, int32_t nx) {
        edges[count++] =
            GraphEdge{edgeWeight(r0, r1, r2, y, x, ny, nx), y * width + x, ny * width + nx};
    };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const bool hasRight = x < width - 1;
            if (hasRight) add(y, x, y, x + 1);
            if (y < height - 1) add(y, x, y + 1, x);
            if (hasRight && y < height - 1) add(y, x, y + 1, x + 1);
            if (hasRight && y > 0) add(y, x, y - 1, x + 1);
        }
    }
    return count;
}

int32_t buildEdges(const cv::Mat_<float>& s0, const cv::Mat_<float>& s1, const cv::Mat_<float>& s2,
                   GraphEdge* edges) {
    std::vector<const float*> rows[3];
    const cv::Mat_<float>* planes[3] = {&s0, &s1, &s2};
    for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < planes[c]->rows; ++y) rows[c].push_back((*planes[c])[y]);
    }
    return buildEdges(rows[0].data(), rows[1].data(), rows[2].data(), s0.cols, s0.rows, edges);
}

int32_t buildEdges(const ChannelImage& s0, const ChannelImage& s1, const ChannelImage& s2,
                   GraphEdge* edges) {
    return buildEdges(s0.rowTable.get(), s1.rowTable.get(), s2.rowTable.get(), s0.width, s0.height,
                      edges);
}

}  // namespace segmora
