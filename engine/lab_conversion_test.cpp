// The fixed-point Lab conversion against OpenCV's on every 8-bit colour. Its own
// program (engine_load_tests), out of the valgrind run: 2^24 colours take a while there.
#include "lab_conversion.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "segmora/segmora.h"

namespace segmora {
namespace {

// Every colour once: pixel i has blue i & 255, green (i >> 8) & 255, red i >> 16.
cv::Mat everyColour() {
    cv::Mat bgr(4096, 4096, CV_8UC3);
    for (int i = 0; i < (1 << 24); ++i) {
        uint8_t* p = bgr.data + 3 * static_cast<size_t>(i);
        p[0] = static_cast<uint8_t>(i);
        p[1] = static_cast<uint8_t>(i >> 8);
        p[2] = static_cast<uint8_t>(i >> 16);
    }
    return bgr;
}

TEST(LabConversion, EveryColourAsOpenCvConvertsIt) {
    const cv::Mat bgr = everyColour();
    cv::Mat lab;
    cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
    const LabTables tables;
    int64_t differences = 0;
    for (int i = 0; i < (1 << 24); ++i) {
        uint8_t mine[3];
        tables.convert(bgr.data + 3 * static_cast<size_t>(i), mine);
        const uint8_t* theirs = lab.data + 3 * static_cast<size_t>(i);
        if (mine[0] != theirs[0] || mine[1] != theirs[1] || mine[2] != theirs[2]) {
            if (++differences <= 5) {
                ADD_FAILURE() << "colour " << std::hex << i << std::dec << ": " << int(mine[0])
                              << " " << int(mine[1]) << " " << int(mine[2]) << " against "
                              << int(theirs[0]) << " " << int(theirs[1]) << " " << int(theirs[2]);
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(LabConversion, PlanesHoldScaledLightnessAndAB) {
    const LabTables tables;
    float lightness[256];
    for (int v = 0; v < 256; ++v) lightness[v] = static_cast<float>(v * kLightnessScale);
    const cv::Mat bgr = everyColour().rowRange(0, 64);
    const int64_t count = static_cast<int64_t>(bgr.total());
    std::vector<float> l(count), a(count), b(count);
    tables.convertToPlanes(bgr.data, count, lightness, l.data(), a.data(), b.data());
    for (int64_t i = 0; i < count; ++i) {
        uint8_t lab[3];
        tables.convert(bgr.data + 3 * i, lab);
        ASSERT_EQ(l[i], lightness[lab[0]]) << i;
        ASSERT_EQ(a[i], lab[1]) << i;
        ASSERT_EQ(b[i], lab[2]) << i;
    }
}

}  // namespace
}  // namespace segmora
