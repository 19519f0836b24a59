#include "input_channels.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <opencv2/imgproc.hpp>

#include "segmora/segmora.h"
#include "smoothing.h"

namespace segmora {

namespace {

// Pixels converted to Lab at a time: a strip small enough to stay in cache.
constexpr int64_t kStripPixels = int64_t{1} << 16;

ChannelPlanes newPlanes(size_t pixels, BlockPool& pool) {
    ChannelPlanes planes{LargeBuffer(pool, 3 * pixels * sizeof(float)), PixelChannels()};
    for (int c = 0; c < 3; ++c) planes.channels.planes[c] = planes.buffer.as<float>() + c * pixels;
    return planes;
}

struct LightnessTable {
    LightnessTable() {
        for (int v = 0; v < 256; ++v)
            value[v] = static_cast<float>(static_cast<double>(v) * kLightnessScale);
    }
    float value[256];
};

// Rows [firstRow, firstRow + lab.rows) of the planes from those rows in Lab.
void fillPlanes(const cv::Mat_<cv::Vec3b>& lab, int firstRow, const LightnessTable& lightness,
                ChannelPlanes& planes) {
    const size_t pixels = planes.buffer.size() / (3 * sizeof(float));
    float* const planeL = planes.buffer.as<float>();
    for (int32_t y = 0; y < lab.rows; ++y) {
        const cv::Vec3b* in = lab[y];
        float* l = planeL + static_cast<size_t>(firstRow + y) * lab.cols;
        float* a = l + pixels;
        float* b = a + pixels;
        for (int32_t x = 0; x < lab.cols; ++x) {
            l[x] = lightness.value[in[x][0]];
            a[x] = in[x][1];
            b[x] = in[x][2];
        }
    }
}

ChannelSet newChannels(int32_t width, int32_t height, BlockPool& pool) {
    ChannelSet channels;
    for (auto& channel : channels)
        channel = std::make_unique<ChannelImage>(pool, width, height, false);
    return channels;
}

}  // namespace

// OpenCV fills its Lab conversion tables on the first conversion of a process, without a
// lock: two threads converting their first photos at once would race on them. The first
// conversion is made once, behind a once-flag, before any photo's.
void fillColourTablesOnce() {
    static std::once_flag filled;
    std::call_once(filled, [] {
        const cv::Mat pixel(1, 1, CV_8UC3, cv::Scalar::all(0));
        cv::Mat lab;
        cv::cvtColor(pixel, lab, cv::COLOR_BGR2Lab, 0);
    });
}

ChannelPlanes planesFromPhoto(const cv::Mat& bgr, BlockPool& pool) {
    ChannelPlanes planes = newPlanes(bgr.total(), pool);
    if (bgr.empty()) return planes;
    fillColourTablesOnce();
    const LightnessTable lightness;
    const int stripRows = static_cast<int>(std::max<int64_t>(1, kStripPixels / bgr.cols));
    cv::Mat_<cv::Vec3b> lab;
    for (int first = 0; first < bgr.rows; first += stripRows) {
        const int end = std::min(bgr.rows, first + stripRows);
        cv::cvtColor(bgr.rowRange(first, end), lab, cv::COLOR_BGR2Lab, 0);
        fillPlanes(lab, first, lightness, planes);
    }
    return planes;
}

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

}  // namespace segmora
