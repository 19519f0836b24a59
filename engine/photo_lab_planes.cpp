#include "photo_lab_planes.h"

#include <algorithm>

#include "parallel.h"
#include "segmora/segmora.h"
#include "sorted_graph.h"

namespace segmora {

namespace {

// Planes in a block with room for the sorted edges as well.
ChannelPlanes newPlanes(int32_t width, int32_t height, BlockPool& pool) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t bytes = std::max(3 * pixels * sizeof(float), sortedEdgeBytes(width, height));
    ChannelPlanes planes{LargeBuffer(pool, bytes), PixelChannels()};
    for (int c = 0; c < 3; ++c) planes.channels.planes[c] = planes.buffer.as<float>() + c * pixels;
    return planes;
}

// Converts the runs of pixels of one row where `only` is not 0: `l` is the row's start in
// the first plane, the others `pixels` apart.
void convertRuns(const LabTables& tables, const uint8_t* bgr, const uint8_t* only, int32_t width,
                 const float* lightness, float* l, size_t pixels) {
    for (int32_t x = 0; x < width;) {
        if (only[x] == 0) {
            ++x;
            continue;
        }
        int32_t end = x + 1;
        while (end < width && only[end] != 0) ++end;
        tables.convertToPlanes(bgr + 3 * x, end - x, lightness, l + x, l + pixels + x,
                               l + 2 * pixels + x);
        x = end;
    }
}

}  // namespace

ChannelPlanes planesFromPhoto(const cv::Mat& bgr, const Workspace& workspace, const uint8_t* only) {
    ChannelPlanes planes = newPlanes(bgr.cols, bgr.rows, workspace.pool);
    if (bgr.empty()) return planes;
    const LabTables& tables = *workspace.lab;
    const LightnessTable lightness;
    const size_t pixels = bgr.total();
    float* const l = planes.buffer.as<float>();
    const int parts =
        std::min<int>(partsForItems(static_cast<int64_t>(pixels), workspace.threads), bgr.rows);
    runInParts(parts, bgr.rows, [&](int, int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) {
            const size_t first = static_cast<size_t>(y) * bgr.cols;
            if (only != nullptr) {
                convertRuns(tables, bgr.ptr<uint8_t>(static_cast<int>(y)), only + first, bgr.cols,
                            lightness.value, l + first, pixels);
                continue;
            }
            tables.convertToPlanes(bgr.ptr<uint8_t>(static_cast<int>(y)), bgr.cols, lightness.value,
                                   l + first, l + pixels + first, l + 2 * pixels + first);
        }
    });
    return planes;
}

}  // namespace segmora
