#include "smoothing.h"

#include <algorithm>
#include <cmath>

namespace segmora {

GaussianMask buildGaussianMask(float sigma) {
    const float s = sigma < 0.01f ? 0.01f : sigma;
    const int length = static_cast<int>(std::ceil(4.0 * static_cast<double>(s))) + 1;
    GaussianMask mask(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        float t = static_cast<float>(i) / s;
        t = t * t;
        mask[i] = static_cast<float>(std::exp(-0.5 * static_cast<double>(t)));
    }
    return mask;
}

void normalizeMask(GaussianMask& mask) {
    float sum = 0.0f;
    for (size_t i = 1; i < mask.size(); ++i) sum += std::fabs(mask[i]);
    const float total = std::fabs(mask[0]) + 2.0f * sum;
    for (float& tap : mask) tap = tap / total;
}

bool isIdentityMask(const GaussianMask& mask) {
    return mask.size() == 2 && mask[0] == 1.0f && mask[1] == 0.0f;
}

namespace {

// Blocks of this many source rows are filtered together so that the
// transposed writes fill whole cache lines of the destination.
constexpr int32_t kRowBlock = 16;

float filterSample(const float* row, int32_t width, int32_t x, const GaussianMask& mask) {
    float acc = row[x] * mask[0];
    const int32_t n = static_cast<int32_t>(mask.size());
    for (int32_t k = 1; k < n; ++k) {
        const int32_t right = std::min(x + k, width - 1);
        const int32_t left = std::max(x - k, 0);
        acc = acc + (row[right] + row[left]) * mask[k];
    }
    return acc;
}

}  // namespace

void convolveEven(const ChannelImage& source, ChannelImage& destination, const GaussianMask& mask) {
    const int32_t width = source.width;
    const int32_t height = source.height;
    for (int32_t y0 = 0; y0 < height; y0 += kRowBlock) {
        const int32_t y1 = std::min(y0 + kRowBlock, height);
        for (int32_t x = 0; x < width; ++x) {
            float* out = destination.rowTable[x];
            for (int32_t y = y0; y < y1; ++y) {
                out[y] = filterSample(source.rowTable[y], width, x, mask);
            }
        }
    }
}

std::unique_ptr<ChannelImage> smoothChannel(const ChannelImage& source, float sigma,
                                            BlockPool& pool) {
    GaussianMask mask = buildGaussianMask(sigma);
    normalizeMask(mask);
    auto temp = std::make_unique<ChannelImage>(pool, source.height, source.width, false);
    auto result = std::make_unique<ChannelImage>(pool, source.width, source.height, false);
    convolveEven(source, *temp, mask);
    convolveEven(*temp, *result, mask);
    return result;
}

}  // namespace segmora
