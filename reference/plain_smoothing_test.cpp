#include "plain_smoothing.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "block_pool.h"
#include "reference_rules.h"
#include "segment_merging.h"
#include "smoothing.h"

namespace segmora {
namespace {

TEST(PlainSmoothing, NormalisedTapsForKnownSigmas) {
    EXPECT_EQ(normalisedGaussianTaps(0.0f), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(normalisedGaussianTaps(-3.0f), (std::vector<float>{1.0f, 0.0f}));
    const std::vector<float> half = normalisedGaussianTaps(0.5f);
    ASSERT_EQ(half.size(), 3u);
    EXPECT_FLOAT_EQ(half[0], 0.78657067f);
    EXPECT_FLOAT_EQ(half[1], 0.10645077f);
    EXPECT_FLOAT_EQ(half[2], 0.00026386508f);
    EXPECT_EQ(normalisedGaussianTaps(1.0f).size(), 5u);
}

TEST(PlainSmoothing, RowsThenColumnsWithClampedEnds) {
    // One bright sample in a 1 x 3 plane. Across the row, the ends take the samples beyond
    // them from themselves; down the one-row column, both neighbours are the sample itself.
    const cv::Mat_<float> row = (cv::Mat_<float>(1, 3) << 0, 1, 0);
    const std::vector<float> t = normalisedGaussianTaps(0.5f);
    auto filter = [&](float centre, float near1, float near2, float far1, float far2) {
        float sum = centre * t[0];
        sum = sum + (near1 + near2) * t[1];
        return sum + (far1 + far2) * t[2];
    };
    const float middle = filter(1, 0, 0, 0, 0), end = filter(0, 1, 0, 0, 0);
    const cv::Mat_<float> smoothed = smoothPlane(row, 0.5f);
    ASSERT_EQ(smoothed.size(), row.size());
    EXPECT_EQ(smoothed(0, 1), filter(middle, middle, middle, middle, middle));
    EXPECT_EQ(smoothed(0, 0), filter(end, end, end, end, end));
    EXPECT_EQ(smoothed(0, 2), smoothed(0, 0));
    EXPECT_EQ(smoothPlane(cv::Mat_<float>(0, 4), 1.0f).size(), cv::Size(4, 0));
}

// The reference's smoothing and the engine's are written apart; they must agree bit for bit.
TEST(PlainSmoothing, AgreesWithTheEngineBitForBit) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-50.0f, 300.0f);
    BlockPool pool;
    for (auto [width, height, sigma] : {std::tuple{7, 5, 0.0f}, std::tuple{31, 17, 0.8f},
                                        std::tuple{2, 9, 1.0f}, std::tuple{40, 1, 2.5f}}) {
        cv::Mat_<float> plane(height, width);
        ChannelImage channel(pool, width, height, false);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) channel.rowTable[y][x] = plane(y, x) = value(rng);
        }
        const cv::Mat_<float> plain = smoothPlane(plane, sigma);
        const std::unique_ptr<ChannelImage> engine = smoothChannel(channel, sigma, pool);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                ASSERT_EQ(plain(y, x), engine->rowTable[y][x]) << sigma << " at " << y << ", " << x;
            }
        }
    }
}

TEST(ReferenceRules, KnobsOutOfRangeAreRefused) {
    const cv::Mat_<int> regions(3, 4, 1);
    EXPECT_NO_THROW(checkReferenceInput(3, 4, 0, 500, 500, 5, regions));
    EXPECT_NO_THROW(checkReferenceInput(3, 4, 0, 500, 500, 5, cv::Mat_<int>()));
    EXPECT_THROW(checkReferenceInput(4, 3, 0, 500, 500, 5, regions), std::invalid_argument);
    EXPECT_THROW(checkReferenceInput(1 << 15, 1 << 14, 0, 500, 500, 5, cv::Mat_<int>()),
                 std::invalid_argument);
    EXPECT_THROW(checkReferenceInput(3, 4, -1, 500, 500, 5, regions), std::invalid_argument);
    EXPECT_THROW(checkReferenceInput(3, 4, 0, -1, 500, 5, regions), std::invalid_argument);
    EXPECT_THROW(checkReferenceInput(3, 4, 0, 500, 0, 5, regions), std::invalid_argument);
    EXPECT_THROW(checkReferenceInput(3, 4, 0, 500, 500, -1, regions), std::invalid_argument);
}

}  // namespace
}  // namespace segmora
