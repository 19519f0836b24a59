#include "segmentation_pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <stdexcept>

#include "block_pool.h"
#include "label_invariants.h"
#include "photo_channels.h"
#include "segment_image_reference.h"
#include "segmora/segmora.h"

namespace segmora {
namespace {

BlockPool pool;
const Workspace workspace{pool, 2};

cv::Mat_<cv::Vec3d> randomImage(std::mt19937& rng, int rows, int cols, int levels) {
    cv::Mat_<cv::Vec3d> image(rows, cols);
    std::uniform_int_distribution<int> value(0, levels - 1);
    for (auto& pixel : image)
        pixel = cv::Vec3d(value(rng) * kLightnessScale, value(rng), value(rng));
    return image;
}

cv::Mat_<int> ones(int rows, int cols) {
    return cv::Mat_<int>(rows, cols, 1);
}

Parameters knobs(float sigma, float threshold, int capDivisor) {
    Parameters parameters;
    parameters.sigma = sigma;
    parameters.threshold = threshold;
    parameters.capDivisor = capDivisor;
    return parameters;
}

// The engine's entries with their knobs spelt out, as the tests below call them.
void segmentImage(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold, int& count,
                  cv::Mat_<int>& labels, int capDivisor, const cv::Mat_<int>& regions,
                  const Workspace& workspace) {
    Segmentation s =
        segmora::segmentImage(image, knobs(sigma, threshold, capDivisor), regions, workspace);
    count = s.count;
    labels = s.labels;
}

void segmentBgrPhoto(const cv::Mat& bgr, float threshold, int& count, cv::Mat_<int>& labels,
                     int capDivisor, const cv::Mat_<int>* regions, const Workspace& workspace) {
    Segmentation s = segmora::segmentBgrPhoto(bgr, knobs(0, threshold, capDivisor),
                                              regions ? *regions : cv::Mat_<int>(), workspace);
    count = s.count;
    labels = s.labels;
}

// The engine's channels of a photo, made the plain way: L * 0.3, a and b of its 8-bit Lab.
cv::Mat_<cv::Vec3d> photoChannels(const cv::Mat_<cv::Vec3b>& bgr) {
    return toEngineImage(toLab(bgr));
}

TEST(SegmentImage, TinyImagesBecomeOneSegment) {
    for (auto [rows, cols] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{1, 4}, std::pair{4, 1}}) {
        cv::Mat_<cv::Vec3d> image(rows, cols);
        for (int i = 0; i < rows * cols; ++i) image(i / cols, i % cols) = cv::Vec3d(i * 90.0, 0, 0);
        int count = -1;
        cv::Mat_<int> labels;
        segmentImage(image, 0, 500, count, labels, 500, ones(rows, cols), workspace);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(cv::countNonZero(labels == 1), rows * cols);
    }
}

TEST(SegmentImage, EmptyImageGivesEmptyLabels) {
    cv::Mat_<cv::Vec3d> image(0, 3);
    int count = -1;
    cv::Mat_<int> labels(2, 2, 7);
    segmentImage(image, 0, 500, count, labels, 500, ones(0, 3), workspace);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(labels.rows, 0);
    EXPECT_EQ(labels.cols, 3);
}

TEST(SegmentImage, RejectsMismatchedRegionsAndBadDivisor) {
    cv::Mat_<cv::Vec3d> image(4, 4, cv::Vec3d(1, 2, 3));
    int count = 0;
    cv::Mat_<int> labels;
    EXPECT_THROW(segmentImage(image, 0, 500, count, labels, 500, ones(4, 5), workspace),
                 std::invalid_argument);
    EXPECT_THROW(segmentImage(image, 0, 500, count, labels, 0, ones(4, 4), workspace),
                 std::invalid_argument);
}

TEST(SegmentImage, UniformImageIsCutBySizeCapOnly) {
    cv::Mat_<cv::Vec3d> image(30, 40, cv::Vec3d(10, 128, 128));
    int count = 0;
    cv::Mat_<int> labels;
    segmentImage(image, 0, 500, count, labels, 500, ones(30, 40), workspace);
    // Cap 1200 / 500 + 20 = 22 pixels: at least ceil(1200 / 22) segments.
    EXPECT_GE(count, 55);
    EXPECT_EQ(labelMapViolation(labels, count), "");
}

TEST(SegmentImage, RegionBoundariesSurviveUnlessCleanUpJoinsThem) {
    // Left and right halves of a uniform image carry different region ids:
    // no segment of 5 or more pixels may cross the boundary.
    cv::Mat_<cv::Vec3d> image(12, 12, cv::Vec3d(20, 100, 100));
    cv::Mat_<int> regions(12, 12, 1);
    regions.colRange(6, 12).setTo(2);
    int count = 0;
    cv::Mat_<int> labels;
    segmentImage(image, 0, 500, count, labels, 3000, regions, workspace);
    for (int y = 0; y < 12; ++y) EXPECT_NE(labels(y, 5), labels(y, 6)) << "row " << y;
    EXPECT_EQ(labelMapViolation(labels, count), "");
}

struct Result {
    int count = -1;
    cv::Mat_<int> labels;
    bool operator==(const Result& o) const {
        return count == o.count && labels.size() == o.labels.size() &&
               (labels.empty() || cv::countNonZero(labels != o.labels) == 0);
    }
};

TEST(SegmentImage, FastPathEqualsReferenceOnRandomImages) {
    std::mt19937 rng(21);
    for (int trial = 0; trial < 60; ++trial) {
        const int rows = 1 + static_cast<int>(rng() % 40), cols = 1 + static_cast<int>(rng() % 40);
        cv::Mat_<cv::Vec3d> image = randomImage(rng, rows, cols, trial % 3 == 0 ? 3 : 256);
        if (trial % 10 == 9)
            image(rows / 2, cols / 2)[trial % 3] = trial % 20 == 9 ? NAN : INFINITY;
        cv::Mat_<int> regions = ones(rows, cols);
        if (trial % 2) {
            for (auto& id : regions) id = static_cast<int>(rng() % 3) - 1;
        }
        const float sigma = trial % 4 == 3 ? 0.7f : 0.0f;
        const int divisor = trial % 2 ? 3000 : 500;
        Result fast, reference;
        segmentImage(image, sigma, 500, fast.count, fast.labels, divisor, regions, workspace);
        segmentImageReference(image, sigma, 500, reference.count, reference.labels, divisor,
                              regions);
        EXPECT_TRUE(fast == reference) << "trial " << trial;
    }
}

TEST(SegmentImage, FastPathEqualsReferenceOnPhotoAndNoise) {
    // The photo has few distinct edge weights (edges placed by counting),
    // the noise of arbitrary doubles too many (stored keys, radix sort).
    const cv::Mat_<cv::Vec3b> colour = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    ASSERT_FALSE(colour.empty()) << SEGMORA_SAMPLE_PHOTO;
    cv::Mat_<cv::Vec3d> photo = photoChannels(colour);
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> value(0.0, 255.0);
    cv::Mat_<cv::Vec3d> noise(200, 230);
    for (auto& p : noise) p = cv::Vec3d(value(rng), value(rng), value(rng));
    for (const cv::Mat_<cv::Vec3d>* image : {&photo, &noise}) {
        cv::Mat_<int> blocks(image->rows, image->cols);
        for (int y = 0; y < blocks.rows; ++y) {
            for (int x = 0; x < blocks.cols; ++x)
                blocks(y, x) = x * 3 / blocks.cols + 10 * (y * 2 / blocks.rows);
        }
        for (bool withRegions : {false, true}) {
            SCOPED_TRACE(std::string(image == &photo ? "photo" : "noise") +
                         (withRegions ? " with regions" : ""));
            const cv::Mat_<int> regions = withRegions ? blocks : ones(image->rows, image->cols);
            const int divisor = withRegions ? 3000 : 500;
            Result fast, reference;
            segmentImage(*image, 0, 500, fast.count, fast.labels, divisor, regions, workspace);
            segmentImageReference(*image, 0, 500, reference.count, reference.labels, divisor,
                                  regions);
            EXPECT_TRUE(fast == reference);
            if (image != &photo) continue;
            Result fromPhoto;
            segmentBgrPhoto(colour, 500, fromPhoto.count, fromPhoto.labels, divisor,
                            withRegions ? &regions : nullptr, workspace);
            EXPECT_TRUE(fromPhoto == reference);
        }
    }
}

TEST(SegmentImage, PhotoEntryEqualsDoubleImageEntry) {
    std::mt19937 rng(4);
    for (int trial = 0; trial < 20; ++trial) {
        const int rows = 1 + static_cast<int>(rng() % 60), cols = 1 + static_cast<int>(rng() % 60);
        cv::Mat_<cv::Vec3b> bgr(rows, cols);
        for (auto& p : bgr) p = cv::Vec3b(rng() % 256, 120 + rng() % 16, 120 + rng() % 16);
        const cv::Mat_<cv::Vec3d> image = photoChannels(bgr);
        cv::Mat_<int> regions = ones(rows, cols);
        for (auto& id : regions) id = static_cast<int>(rng() % 2);
        Result fromLab, fromDouble;
        segmentBgrPhoto(bgr, 500, fromLab.count, fromLab.labels, 3000,
                        trial % 2 ? &regions : nullptr, workspace);
        segmentImageReference(image, 0, 500, fromDouble.count, fromDouble.labels, 3000,
                              trial % 2 ? regions : ones(rows, cols));
        EXPECT_TRUE(fromLab == fromDouble) << "trial " << trial;
    }
}

TEST(SegmentImage, RandomImagesGiveValidLabelMaps) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 40; ++trial) {
        const int rows = 1 + trial % 13, cols = 1 + (trial * 7) % 17;
        cv::Mat_<cv::Vec3d> image = randomImage(rng, rows, cols, trial % 2 ? 4 : 256);
        cv::Mat_<int> regions(rows, cols);
        for (auto& id : regions) id = static_cast<int>(rng() % 3);
        int count = 0;
        cv::Mat_<int> labels;
        segmentImage(image, trial % 3 == 0 ? 0.8f : 0.0f, 500, count, labels, 3000, regions,
                     workspace);
        EXPECT_EQ(labelMapViolation(labels, count), "") << "trial " << trial;
    }
}

}  // namespace
}  // namespace segmora
