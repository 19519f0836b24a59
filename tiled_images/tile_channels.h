#pragma once

#include <opencv2/core.hpp>

#include "channel_planes.h"
#include "float_channels.h"
#include "photo_lab_planes.h"
#include "workspace.h"

namespace segmora {

// Whether smoothing with `sigma` changes a photo's channels, and how far it reads: the
// smoothing mask's length (taps per side, the centre included), 1 when it changes nothing.
int32_t smoothingReach(float sigma);

// The channels a tile is segmented on, for its own pixels and those around it that its seam
// edges reach: the photo's Lab planes, or with smoothing those planes smoothed over the read
// rectangle, which reaches smoothingReach(sigma) pixels beyond the tile (or the image's
// edge, where the smoothing clamps as it does on the whole image). Every sample a seam edge
// or an inner edge reads is then the one the whole image gets.
class TileChannels {
  public:
    // `photo`: the read rectangle's pixels; `inside`: the tile within it.
    TileChannels(const cv::Mat& photo, const cv::Rect& inside, float sigma,
                 const Workspace& workspace);

    // The tile's own channels, contiguous planes; given back by releaseTile().
    const PixelChannels& tile() const { return tilePlanes.channels; }
    void releaseTile() { tilePlanes.buffer.release(); }

    // The channels of the pixel at (row, column) of the read rectangle.
    void at(int row, int column, float channels[3]) const;

    bool smoothed() const { return smoothedChannels[0] != nullptr; }

  private:
    cv::Mat photo;  // a header of the caller's pixels, which photoWeights reads
    PhotoEdgeWeights photoWeights;
    ChannelSet smoothedChannels;
    ChannelPlanes tilePlanes;
};

}  // namespace segmora
