#include "smoothing.h"

#include <gtest/gtest.h>

#include <vector>

#include "block_pool.h"

namespace segmora {
namespace {

BlockPool pool;  // outlives every image of these tests

std::unique_ptr<ChannelImage> imageOf(int32_t width, int32_t height,
                                      const std::vector<float>& values) {
    auto image = std::make_unique<ChannelImage>(pool, width, height, false);
    for (size_t i = 0; i < values.size(); ++i) image->data[i] = values[i];
    return image;
}

TEST(GaussianMask, NormalisedTapsForKnownSigmas) {
    struct Case {
        float sigma;
        std::vector<float> taps;
    };
    const std::vector<Case> cases = {
        {0.0f, {1.0f, 0.0f}},
        {-3.0f, {1.0f, 0.0f}},
        {0.01f, {1.0f, 0.0f}},
        {0.25f, {0.99932957f, 0.00033523771f}},
        {0.5f, {0.78657067f, 0.10645077f, 0.00026386508f}},
        {1.0f, {0.39894345f, 0.24197143f, 0.053991124f, 0.0044318615f, 0.00013383062f}},
    };
    for (const Case& c : cases) {
        GaussianMask mask = buildGaussianMask(c.sigma);
        normalizeMask(mask);
        ASSERT_EQ(mask.size(), c.taps.size()) << "sigma " << c.sigma;
        for (size_t i = 0; i < mask.size(); ++i) {
            EXPECT_FLOAT_EQ(mask[i], c.taps[i]) << "sigma " << c.sigma << " tap " << i;
        }
        EXPECT_EQ(isIdentityMask(mask), c.sigma <= 0.01f);
    }
}

TEST(ConvolveEven, FiltersRowsAndWritesTransposedWithClampedEnds) {
    // Two rows of three samples; taps [0.5, 0.25] average each sample with
    // its neighbours, the row ends repeating the end sample.
    auto source = imageOf(3, 2, {1, 2, 4, 8, 16, 32});
    ChannelImage destination(pool, 2, 3, false);
    convolveEven(*source, destination, GaussianMask{0.5f, 0.25f});
    const float expected[3][2] = {{1.25f, 10.0f}, {2.25f, 18.0f}, {3.5f, 28.0f}};
    for (int x = 0; x < 3; ++x) {
        for (int y = 0; y < 2; ++y) EXPECT_EQ(destination.rowTable[x][y], expected[x][y]);
    }
}

TEST(ConvolveEven, MaskLongerThanRowTakesTheNearerEnd) {
    auto source = imageOf(2, 1, {1, 3});
    ChannelImage destination(pool, 1, 2, false);
    convolveEven(*source, destination, GaussianMask{1, 1, 1, 1, 1});
    // x = 0: 1 + (3 + 1) + 4 * (3 + 1); x = 1: 3 + 4 * (3 + 1).
    EXPECT_EQ(destination.rowTable[0][0], 1.0f + 4.0f * 4.0f);
    EXPECT_EQ(destination.rowTable[1][0], 3.0f + 4.0f * 4.0f);
}

TEST(SmoothChannel, IdentityForTinySigmaAndShapeKept) {
    auto source = imageOf(2, 3, {-0.0f, 1.5f, 7, 9, 100, -3});
    for (float sigma : {0.0f, -1.0f, 0.01f}) {
        auto result = smoothChannel(*source, sigma, pool);
        ASSERT_EQ(result->width, 2);
        ASSERT_EQ(result->height, 3);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(result->data[i], source->data[i]);
    }
}

TEST(SmoothChannel, BlursForRealSigmaAndKeepsConstantImages) {
    auto step = imageOf(4, 1, {0, 0, 10, 10});
    auto blurred = smoothChannel(*step, 0.25f, pool);
    EXPECT_GT(blurred->data[1], 0.0f);
    EXPECT_LT(blurred->data[2], 10.0f);

    auto constant = imageOf(3, 5, std::vector<float>(15, 42.0f));
    for (float sigma : {0.5f, 1.0f, 3.0f}) {
        auto result = smoothChannel(*constant, sigma, pool);
        for (int i = 0; i < 15; ++i) EXPECT_NEAR(result->data[i], 42.0f, 1e-4f);
    }
}

TEST(SmoothChannel, EmptyImagesStayEmpty) {
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 4}, std::pair{4, 0}}) {
        ChannelImage empty(pool, w, h, true);
        auto result = smoothChannel(empty, 1.0f, pool);
        EXPECT_EQ(result->width, w);
        EXPECT_EQ(result->height, h);
    }
}

}  // namespace
}  // namespace segmora
