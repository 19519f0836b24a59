#include "tile_channels.h"

#include <algorithm>

#include "smoothing.h"
#include "sorted_graph.h"

namespace segmora {

int32_t smoothingReach(float sigma) {
    GaussianMask mask = buildGaussianMask(sigma);
    normalizeMask(mask);
    return isIdentityMask(mask) ? 1 : static_cast<int32_t>(mask.size());
}

TileChannels::TileChannels(const cv::Mat& readPhoto, const cv::Rect& inside, float sigma,
                           const Workspace& workspace)
    : photo(readPhoto), photoWeights(photo, *workspace.lab) {
    if (smoothingReach(sigma) == 1) {
        tilePlanes = planesFromPhoto(photo(inside), workspace);
        return;
    }
    ChannelPlanes planes = planesFromPhoto(photo, workspace);
    smoothedChannels = channelsFromPlanes(planes, photo.cols, photo.rows, workspace.pool);
    planes.buffer.release();
    smoothChannels(smoothedChannels, sigma, true, workspace.pool);
    const size_t pixels = static_cast<size_t>(inside.area());
    tilePlanes.buffer = LargeBuffer(
        workspace.pool, std::max(3 * pixels * sizeof(float), sortedEdgeBytes(inside.width, inside.height)));
    for (int c = 0; c < 3; ++c) {
        float* plane = tilePlanes.buffer.as<float>() + c * pixels;
        tilePlanes.channels.planes[c] = plane;
        for (int y = 0; y < inside.height; ++y) {
            const float* row = smoothedChannels[c]->rowTable[inside.y + y] + inside.x;
            std::copy(row, row + inside.width, plane + static_cast<size_t>(y) * inside.width);
        }
    }
}

void TileChannels::at(int row, int column, float channels[3]) const {
    if (!smoothed()) {
        photoWeights.channelsAt(row, column, channels);
        return;
    }
    for (int c = 0; c < 3; ++c) channels[c] = smoothedChannels[c]->rowTable[row][column];
}

}  // namespace segmora
