#include "photo_planes.h"

#include <algorithm>
#include <mutex>
#include <opencv2/imgproc.hpp>

#include "segmora/segmora.h"
#include "sorted_graph.h"

namespace segmora {

namespace {

// Pixels converted to Lab at a time: a strip small enough to stay in cache.
constexpr int64_t kStripPixels = int64_t{1} << 16;

// Planes in a block with room for the sorted edges as well.
ChannelPlanes newPlanes(int32_t width, int32_t height, BlockPool& pool) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t bytes = std::max(3 * pixels * sizeof(float), sortedEdgeBytes(width, height));
    ChannelPlanes planes{LargeBuffer(pool, bytes), PixelChannels()};
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
// `pixels`: the photo's pixel count, the length of each plane.
void fillPlanes(const cv::Mat_<cv::Vec3b>& lab, int firstRow, size_t pixels,
                const LightnessTable& lightness, ChannelPlanes& planes) {
    for (int32_t y = 0; y < lab.rows; ++y) {
        const cv::Vec3b* in = lab[y];
        float* l = planes.buffer.as<float>() + static_cast<size_t>(firstRow + y) * lab.cols;
        float* a = l + pixels;
        float* b = a + pixels;
        for (int32_t x = 0; x < lab.cols; ++x) {
            l[x] = lightness.value[in[x][0]];
            a[x] = in[x][1];
            b[x] = in[x][2];
        }
    }
}

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

}  // namespace

ChannelPlanes planesFromPhoto(const cv::Mat& bgr, BlockPool& pool) {
    ChannelPlanes planes = newPlanes(bgr.cols, bgr.rows, pool);
    if (bgr.empty()) return planes;
    fillColourTablesOnce();
    const LightnessTable lightness;
    const int stripRows = static_cast<int>(std::max<int64_t>(1, kStripPixels / bgr.cols));
    cv::Mat_<cv::Vec3b> lab;
    for (int first = 0; first < bgr.rows; first += stripRows) {
        const int end = std::min(bgr.rows, first + stripRows);
        cv::cvtColor(bgr.rowRange(first, end), lab, cv::COLOR_BGR2Lab, 0);
        fillPlanes(lab, first, bgr.total(), lightness, planes);
    }
    return planes;
}

}  // namespace segmora
