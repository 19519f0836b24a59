#include "float_channels.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "smoothing.h"

namespace segmora {

namespace {

ChannelSet newChannels(int32_t width, int32_t height, BlockPool& pool) {
    ChannelSet channels;
    for (auto& channel : channels)
        channel = std::make_unique<ChannelImage>(pool, width, height, false);
    return channels;
}

}  // namespace

ChannelSet channelsFromPlanes(const ChannelPlanes& planes, int32_t width, int32_t height,
                              BlockPool& pool) {
    ChannelSet channels = newChannels(width, height, pool);
    const size_t pixels = static_cast<size_t>(width) * height;
    for (int c = 0; c < 3; ++c) std::copy_n(planes.channels.planes[c], pixels, channels[c]->data);
    return channels;
}

ChannelSet channelsFromImage(const cv::Mat_<cv::Vec3d>& image, bool& allFinite, BlockPool& pool) {
    ChannelSet channels = newChannels(image.cols, image.rows, pool);
    allFinite = true;
    for (int32_t y = 0; y < image.rows; ++y) {
        const cv::Vec3d* in = image[y];
        for (int c = 0; c < 3; ++c) {
            float* out = channels[c]->rowTable[y];
            for (int32_t x = 0; x < image.cols; ++x) {
                out[x] = static_cast<float>(in[x][c]);
                allFinite = allFinite && std::isfinite(out[x]);
            }
        }
    }
    return channels;
}

void smoothChannels(ChannelSet& channels, float sigma, bool allFinite, BlockPool& pool) {
    GaussianMask mask = buildGaussianMask(sigma);
    normalizeMask(mask);
    if (isIdentityMask(mask) && allFinite) return;
    for (auto& channel : channels) channel = smoothChannel(*channel, sigma, pool);
}

PixelChannels planesOf(const ChannelSet& channels) {
    PixelChannels source;
    for (int c = 0; c < 3; ++c) source.planes[c] = channels[c]->data;
    return source;
}

ChannelImage::ChannelImage(BlockPool& pool, int32_t width, int32_t height, bool zeroFill)
    : width(width), height(height) {
    if (width < 0 || height < 0) throw std::bad_array_new_length();
    const int64_t count = int64_t{width} * height;
    storage = LargeBuffer(pool, static_cast<size_t>(count) * sizeof(float));
    data = storage.as<float>();
    rowTable.reset(new float*[static_cast<size_t>(height)]);
    for (int32_t y = 0; y < height; ++y) rowTable[y] = data + int64_t{y} * width;
    if (zeroFill) std::fill_n(data, count, 0.0f);
}

}  // namespace segmora
