#include "lab_conversion.h"

#include <cmath>

namespace segmora {

namespace {

// The sRGB gamma expansion of v / 255, times 255 * 8, rounded: the value is
// made in single precision from a double power, as OpenCV makes it.
int gammaExpanded(int v) {
    const double x = static_cast<float>(v) / 255.0f;
    const double threshold = 809.0 / 20000.0, lowScale = 323.0 / 25.0;
    const double shift = 11.0 / 200.0, power = 12.0 / 5.0;
    const double expanded =
        x <= threshold ? x / lowScale : std::pow((x + shift) / (1.0 + shift), power);
    return static_cast<int>(std::nearbyint(255.0f * 8.0f * static_cast<float>(expanded)));
}

// The Lab function of i / (255 * 8) in 15-bit fixed point. Its cube roots are
// the single-precision values just below (or at) the exact root, which is
// what OpenCV's own cube root gives.
int cubeRootValue(int i) {
    const float x = (1.0f / (255.0f * 8.0f)) * static_cast<float>(i);
    float f;
    if (x < 216.0f / 24389.0f) {
        f = std::fma(x, 841.0f / 108.0f, 16.0f / 116.0f);
    } else {
        const double exact = std::cbrt(static_cast<double>(x));
        f = static_cast<float>(exact);
        if (static_cast<double>(f) > exact) f = std::nextafter(f, 0.0f);
    }
    return static_cast<int>(std::nearbyint(32768.0f * f));
}

}  // namespace

LabTables::LabTables() {
    // sRGB to XYZ, each row divided by the D65 white point's component.
    static const double toXyz[3][3] = {{0.412453, 0.357580, 0.180423},
                                       {0.212671, 0.715160, 0.072169},
                                       {0.019334, 0.119193, 0.950227}};
    static const double white[3] = {0.950456, 1.0, 1.088754};
    int gamma[256];
    for (int v = 0; v < 256; ++v) gamma[v] = gammaExpanded(v);
    for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) {
            // Components come blue, green, red; the matrix columns red, green, blue.
            const auto coefficient =
                static_cast<int32_t>(std::nearbyint((1 << kShift) * toXyz[k][2 - c] / white[k]));
            for (int v = 0; v < 256; ++v) sums[k][c * 256 + v] = gamma[v] * coefficient;
        }
    }
    for (int i = 0; i < kCubeRoots; ++i) cubeRoot[i] = static_cast<uint16_t>(cubeRootValue(i));
}

void LabTables::convertToPlanes(const uint8_t* bgr, int64_t count, const float* lightness, float* l,
                                float* a, float* b) const {
    for (int64_t i = 0; i < count; ++i, bgr += 3) {
        int fx, fy, fz;
        cubeRoots(bgr, fx, fy, fz);
        l[i] = lightness[clamped(descaled(kLScale * fy + kLShift, kShift2))];
        a[i] = static_cast<float>(clamped(descaled(500 * (fx - fy) + (128 << kShift2), kShift2)));
        b[i] = static_cast<float>(clamped(descaled(200 * (fy - fz) + (128 << kShift2), kShift2)));
    }
}

}  // namespace segmora
