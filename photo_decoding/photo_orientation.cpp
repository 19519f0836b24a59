#include "photo_orientation.h"

#include <cstdint>

namespace segmora {

namespace {

constexpr uint32_t kOrientationTag = 0x0112;
constexpr uint32_t kShort = 3;

}  // namespace

int tiffOrientation(const unsigned char* tiff, size_t size) {
    if (size < 2) return 1;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    if (size < 8) return 0;
    const auto u16 = [&](size_t at) -> uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    const uint64_t first =
        little ? (u16(4) | uint64_t{u16(6)} << 16) : (uint64_t{u16(4)} << 16 | u16(6));
    if (u16(2) != 42 || first < 8 || first + 2 > size) return 0;
    const uint32_t entries = u16(static_cast<size_t>(first));
    if (first + 2 + 12 * uint64_t{entries} > size) return 0;
    for (uint32_t e = 0; e < entries; ++e) {
        const size_t at = static_cast<size_t>(first) + 2 + 12 * size_t{e};
        if (u16(at) != kOrientationTag) continue;
        const uint32_t count =
            little ? (u16(at + 4) | u16(at + 6) << 16) : (u16(at + 4) << 16 | u16(at + 6));
        const uint32_t value = u16(at + 8);
        if (u16(at + 2) != kShort || count != 1 || value < 1 || value > 8) return 0;
        return static_cast<int>(value);
    }
    return 1;
}

int app1Orientation(const unsigned char* segment, size_t size) {
    constexpr size_t kTiffStart = 6;
    return size < kTiffStart + 2 ? 0 : tiffOrientation(segment + kTiffStart, size - kTiffStart);
}

void applyOrientation(cv::Mat& image, int orientation) {
    if (orientation >= 5 && orientation <= 8) cv::transpose(image, image);
    switch (orientation) {
        case 2:
        case 6:
            cv::flip(image, image, 1);  // left to right
            break;
        case 3:
        case 7:
            cv::flip(image, image, -1);  // half a turn
            break;
        case 4:
        case 8:
            cv::flip(image, image, 0);  // top to bottom
            break;
        default:
            break;
    }
}

}  // namespace segmora
