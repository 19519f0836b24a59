// The public face: segmentPhoto against the engine on the photo's whole Lab
// image, the checks on what callers hand over, and Segmenters kept, moved and
// released between calls.
#include "segmora/segmora.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <stdexcept>

#include "block_pool.h"
#include "label_invariants.h"
#include "photo_channels.h"
#include "segment_image_reference.h"

namespace segmora {
namespace {

bool sameLabels(const Segmentation& a, const Segmentation& b) {
    return a.count == b.count && a.labels.size() == b.labels.size() &&
           std::equal(a.labels.begin(), a.labels.end(), b.labels.begin());
}

// The engine's channels of a photo, made the plain way: its whole 8-bit Lab image,
// converted in one piece, as doubles with L scaled.
cv::Mat_<cv::Vec3d> photoChannels(const cv::Mat& bgr) {
    return toEngineImage(toLab(bgr));
}

// The general engine's labels on the photo's channels.
Segmentation fromWholeLab(const cv::Mat& bgr, const cv::Mat_<int>* regions) {
    return segment(photoChannels(bgr), photoParameters(regions != nullptr),
                   regions != nullptr ? *regions : cv::Mat_<int>());
}

cv::Mat_<cv::Vec3b> noisePhoto(int rows, int cols, unsigned seed) {
    std::mt19937 rng(seed);
    cv::Mat_<cv::Vec3b> photo(rows, cols);
    for (auto& p : photo) p = cv::Vec3b(rng() % 256, rng() % 256, (rng() % 4) * 60);
    return photo;
}

cv::Mat_<int> blockRegions(cv::Size size) {
    cv::Mat_<int> regions(size);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) regions(y, x) = x * 3 / size.width + 10 * (y % 2);
    }
    return regions;
}

TEST(SegmentPhoto, StripByStripConversionGivesTheLabelsOfTheWholeLabImage) {
    const cv::Mat chelsea = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    ASSERT_FALSE(chelsea.empty()) << SEGMORA_SAMPLE_PHOTO;
    // A photo of many strips, a row wider than a strip, a column, a window
    // into a larger photo (rows not contiguous) and a single pixel.
    const cv::Mat photos[] = {chelsea, noisePhoto(1, 70001, 3), noisePhoto(300, 1, 4),
                              chelsea(cv::Rect(17, 9, 301, 250)), noisePhoto(1, 1, 5)};
    for (const cv::Mat& photo : photos) {
        SCOPED_TRACE(std::to_string(photo.cols) + " x " + std::to_string(photo.rows));
        const Segmentation plain = segmentPhoto(photo);
        EXPECT_TRUE(sameLabels(plain, fromWholeLab(photo, nullptr)));
        EXPECT_EQ(labelMapViolation(plain.labels, plain.count), "");
        const cv::Mat_<int> regions = blockRegions(photo.size());
        EXPECT_TRUE(sameLabels(segmentPhoto(photo, regions), fromWholeLab(photo, &regions)));
    }
}

TEST(SegmentPhoto, EmptyPhotosAreRefused) {
    for (const cv::Mat& photo : {cv::Mat(), cv::Mat(0, 5, CV_8UC3), cv::Mat(4, 0, CV_8UC3)})
        EXPECT_THROW(segmentPhoto(photo), std::invalid_argument);
}

TEST(SegmentPhoto, EveryKnobGivesTheReferenceLabels) {
    const cv::Mat photo =
        cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR)(cv::Rect(60, 40, 120, 90));
    const cv::Mat_<cv::Vec3d> channels = photoChannels(photo);
    const cv::Mat_<int> regions = blockRegions(photo.size());
    struct Knobs {
        float threshold, sigma;
        int capDivisor, minSize;
        bool withRegions;
    };
    for (const Knobs& k :
         {Knobs{120, 0, 500, 5, false}, Knobs{500, 0.8f, 500, 5, false}, Knobs{500, 0, 40, 5, true},
          Knobs{500, 0, 500, 30, false}, Knobs{2000, 0.5f, 0, 1, true}}) {
        Parameters parameters;
        parameters.threshold = k.threshold;
        parameters.sigma = k.sigma;
        parameters.capDivisor = k.capDivisor;
        parameters.minSize = k.minSize;
        const cv::Mat_<int> ids = k.withRegions ? regions : cv::Mat_<int>();
        Segmentation expected;
        segmentImageReference(channels, k.sigma, k.threshold, expected.count, expected.labels,
                              k.capDivisor != 0 ? k.capDivisor : 3000,
                              k.withRegions ? regions : cv::Mat_<int>(photo.size(), 1), k.minSize);
        SCOPED_TRACE(k.threshold + k.sigma + k.capDivisor + k.minSize);
        EXPECT_TRUE(sameLabels(segmentPhoto(photo, ids, parameters), expected));
    }
}

TEST(SegmentPhoto, RejectsWhatItCannotTake) {
    const cv::Mat_<cv::Vec3b> photo = noisePhoto(6, 8, 1);
    EXPECT_THROW(segmentPhoto(cv::Mat(6, 8, CV_16SC1, cv::Scalar(0))), std::invalid_argument);
    EXPECT_THROW(segmentPhoto(cv::Mat(6, 8, CV_32FC3, cv::Scalar(1.5))), std::invalid_argument);
    EXPECT_THROW(segmentPhoto(cv::Mat(6, 8, CV_8UC(5), cv::Scalar(0))), std::invalid_argument);
    const int sizes[] = {2, 3, 4};
    EXPECT_THROW(segmentPhoto(cv::Mat(3, sizes, CV_8UC3)), std::invalid_argument);
    EXPECT_THROW(segmentPhoto(photo, cv::Mat_<int>(8, 6, 1)), std::invalid_argument);
    EXPECT_THROW(Segmenter(-1), std::invalid_argument);
    Parameters parameters;
    parameters.threads = -2;
    EXPECT_THROW(segment(cv::Mat_<cv::Vec3d>(4, 4), parameters), std::invalid_argument);
    for (auto bad :
         {+[](Parameters& p) { p.capDivisor = -1; }, +[](Parameters& p) { p.threshold = -1; },
          +[](Parameters& p) { p.threshold = NAN; },
          +[](Parameters& p) { p.sigma = kMaxSigma * 2; }, +[](Parameters& p) { p.minSize = -1; },
          +[](Parameters& p) { p.threads = 65; }}) {
        Parameters knobs;
        bad(knobs);
        EXPECT_THROW(segment(cv::Mat_<cv::Vec3d>(4, 4), knobs), std::invalid_argument);
        EXPECT_THROW(segmentPhoto(photo, knobs), std::invalid_argument);
    }
}

// Parameters{} holds the photo defaults: the program's labels with a region map (cap
// divisor 3000) and without (500), through segmentPhoto and the general engine alike.
TEST(SegmentPhoto, DefaultParametersGiveThePhotoDefaultsWithAndWithoutRegions) {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    ASSERT_FALSE(photo.empty()) << SEGMORA_SAMPLE_PHOTO;
    const cv::Mat_<int> regions = blockRegions(photo.size());
    const Segmentation withRegions = segmentPhoto(photo, regions, Parameters{});
    EXPECT_TRUE(sameLabels(withRegions, segmentPhoto(photo, regions, photoParameters(true))));
    EXPECT_TRUE(sameLabels(withRegions, segmentPhoto(photo, regions)));
    // The two cap divisors give different labels here, so the check above can fail.
    EXPECT_FALSE(sameLabels(withRegions, segmentPhoto(photo, regions, photoParameters(false))));
    const Segmentation plain = segmentPhoto(photo, Parameters{});
    EXPECT_TRUE(sameLabels(plain, segmentPhoto(photo, photoParameters(false))));
    EXPECT_TRUE(sameLabels(plain, segmentPhoto(photo)));
    const cv::Mat_<cv::Vec3d> channels = photoChannels(photo);
    EXPECT_TRUE(sameLabels(segment(channels, Parameters{}, regions), withRegions));
    EXPECT_TRUE(sameLabels(segment(channels, Parameters{}), plain));
}

TEST(Segmenter, KeptMovedAndReleasedSegmentersGiveTheOneShotLabels) {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    ASSERT_FALSE(photo.empty()) << SEGMORA_SAMPLE_PHOTO;
    const Segmentation expected = segmentPhoto(photo);
    Segmenter segmenter(2);
    EXPECT_EQ(segmenter.threads(), 2);
    EXPECT_TRUE(sameLabels(segmenter.segmentPhoto(photo), expected));
    EXPECT_TRUE(sameLabels(segmenter.segmentPhoto(photo), expected));  // warm buffers
    Segmenter moved(std::move(segmenter));
    EXPECT_TRUE(sameLabels(moved.segmentPhoto(photo), expected));
    EXPECT_TRUE(sameLabels(segmenter.segmentPhoto(photo), expected));  // moved from: fresh buffers
    moved.release();
    EXPECT_TRUE(sameLabels(moved.segmentPhoto(photo), expected));
    segmenter = std::move(moved);
    EXPECT_TRUE(sameLabels(segmenter.segmentPhoto(photo), expected));
}

TEST(Segmenter, GeneralEngineOnThePhotoChannelsEqualsSegmentPhoto) {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    ASSERT_FALSE(photo.empty()) << SEGMORA_SAMPLE_PHOTO;
    const cv::Mat_<cv::Vec3d> channels = photoChannels(photo);
    Segmenter segmenter;
    EXPECT_TRUE(sameLabels(segmenter.segment(channels, photoParameters(false)),
                           segmenter.segmentPhoto(photo)));
    const cv::Mat_<int> regions = blockRegions(photo.size());
    EXPECT_TRUE(sameLabels(segment(channels, photoParameters(true), regions),
                           segmentPhoto(photo, regions)));
}

}  // namespace
}  // namespace segmora
