#pragma once

#include <cstdint>

namespace segmora {

// 8-bit Lab of blue-green-red pixels in fixed point, exactly as OpenCV's 8-bit
// conversion (cvtColor with COLOR_BGR2Lab) computes it: each component through
// the sRGB gamma table, the XYZ sums (D65 white) in 12-bit fixed point, their
// cube roots from a table, and L, a, b from those. The tables take a fraction
// of a millisecond to make, where OpenCV's first conversion of a process fills
// tables for every depth (over 0.1 s). A test checks all 2^24 colours
// against cvtColor.
class LabTables {
  public:
    LabTables();

    // L, a, b (each 0 .. 255) of the pixel blue, green, red.
    void convert(const uint8_t* bgr, uint8_t* lab) const {
        int fx, fy, fz;
        cubeRoots(bgr, fx, fy, fz);
        lab[0] = clamped(descaled(kLScale * fy + kLShift, kShift2));
        lab[1] = clamped(descaled(500 * (fx - fy) + (128 << kShift2), kShift2));
        lab[2] = clamped(descaled(200 * (fy - fz) + (128 << kShift2), kShift2));
    }

    // The channels L * lightnessScale, a and b of `count` pixels as floats.
    void convertToPlanes(const uint8_t* bgr, int64_t count, const float* lightness, float* l,
                         float* a, float* b) const;

  private:
    static constexpr int kShift = 12;           // fixed point of the XYZ sums
    static constexpr int kShift2 = kShift + 3;  // fixed point of the cube roots
    static constexpr int kCubeRoots = 256 * 3 / 2 * 8;
    static constexpr int kLScale = (116 * 255 + 50) / 100;
    static constexpr int kLShift = -((16 * 255 * (1 << kShift2) + 50) / 100);

    static int descaled(int x, int n) { return (x + (1 << (n - 1))) >> n; }
    static uint8_t clamped(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

    void cubeRoots(const uint8_t* bgr, int& fx, int& fy, int& fz) const {
        const int32_t* x = sums[0];
        const int32_t* y = sums[1];
        const int32_t* z = sums[2];
        const int b = bgr[0], g = bgr[1] + 256, r = bgr[2] + 512;
        fx = cubeRoot[descaled(x[b] + x[g] + x[r], kShift)];
        fy = cubeRoot[descaled(y[b] + y[g] + y[r], kShift)];
        fz = cubeRoot[descaled(z[b] + z[g] + z[r], kShift)];
    }

    // sums[k][c * 256 + v]: the share of component c (blue, green, red) at
    // value v in sum k (X, Y, Z): its gamma-expanded value times the
    // coefficient.
    int32_t sums[3][3 * 256];
    uint16_t cubeRoot[kCubeRoots];
};

}  // namespace segmora
