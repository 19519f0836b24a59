#include "masked_segmentation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "block_pool.h"
#include "photo_channels.h"
#include "segment_image_reference.h"
#include "segmentation_pipeline.h"
#include "segmora/segmora.h"

namespace segmora {
namespace {

bool sameLabels(const Segmentation& a, const Segmentation& b) {
    return a.count == b.count && a.labels.size() == b.labels.size() &&
           std::equal(a.labels.begin(), a.labels.end(), b.labels.begin());
}

// The photo run through the masked machinery itself, whatever the mask holds (the library
// takes the plain path for a full mask).
Segmentation maskedPhotoRun(const cv::Mat& bgr, const cv::Mat_<uint8_t>& mask,
                            const Parameters& parameters, const cv::Mat_<int>& regions) {
    BlockPool pool;
    Workspace workspace{pool, 2};
    workspace.mask = mask.ptr<uint8_t>();
    return segmentBgrPhoto(bgr, parameters, regions, workspace);
}

Segmentation maskedImageRun(const cv::Mat_<cv::Vec3d>& image, const cv::Mat_<uint8_t>& mask,
                            const Parameters& parameters, const cv::Mat_<int>& regions) {
    BlockPool pool;
    Workspace workspace{pool, 2};
    workspace.mask = mask.ptr<uint8_t>();
    return segmentImage(image, parameters, regions, workspace);
}

Segmentation plainModel(const cv::Mat_<cv::Vec3d>& image, const cv::Mat_<uint8_t>& mask,
                        const Parameters& p, const cv::Mat_<int>& regions) {
    Segmentation s;
    segmentImageReference(image, p.sigma, p.threshold, s.count, s.labels, p.capDivisor, regions,
                          p.minSize, mask);
    return s;
}

// Label 0 exactly outside; inside, labels first seen in raster order 1, 2, ... count.
bool numberedInsideOnly(const Segmentation& s, const cv::Mat_<uint8_t>& mask) {
    int seen = 0;
    for (int i = 0; i < static_cast<int>(mask.total()); ++i) {
        const int label = s.labels(i / mask.cols, i % mask.cols);
        if ((label == 0) != (mask(i / mask.cols, i % mask.cols) == 0) || label > seen + 1) {
            return false;
        }
        seen = std::max(seen, label);
    }
    return seen == s.count;
}

cv::Mat_<cv::Vec3b> samplePhoto() {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    if (photo.empty()) throw std::runtime_error("cannot read " SEGMORA_SAMPLE_PHOTO);
    return photo(cv::Rect(40, 30, 120, 90)).clone();
}

// Masks of the shapes users draw and the shapes that break things: holes, single pixels,
// lines one pixel thin (straight and diagonal), borders, scattered noise, nothing.
std::vector<std::pair<std::string, cv::Mat_<uint8_t>>> maskShapes(int rows, int cols) {
    std::vector<std::pair<std::string, cv::Mat_<uint8_t>>> masks;
    auto add = [&](const std::string& name) -> cv::Mat_<uint8_t>& {
        masks.emplace_back(name, cv::Mat_<uint8_t>(rows, cols, uint8_t{0}));
        return masks.back().second;
    };
    cv::circle(add("disc with a hole"), {cols / 2, rows / 2}, rows / 3, 255, cv::FILLED);
    cv::circle(masks.back().second, {cols / 2, rows / 2}, rows / 8, 0, cv::FILLED);
    cv::Mat_<uint8_t>& dots = add("single pixels");
    for (int y = 1; y < rows; y += 7)
        for (int x = 2; x < cols; x += 5) dots(y, x) = 1;
    cv::Mat_<uint8_t>& lines = add("thin lines");
    cv::line(lines, {0, 3}, {cols - 1, 3}, 9);
    cv::line(lines, {5, 0}, {5, rows - 1}, 9);
    cv::line(lines, {0, 0}, {rows - 1, rows - 1}, 9);  // diagonal: only 8-neighbours join
    cv::line(lines, {cols - 1, 0}, {cols - rows, rows - 1}, 9);
    cv::Mat_<uint8_t>& border = add("frame");
    border.setTo(200);
    border(cv::Rect(2, 2, cols - 4, rows - 4)).setTo(0);
    std::mt19937 rng(37);
    for (auto& b : add("noise")) b = rng() % 3 == 0;
    add("all outside");
    cv::Mat_<uint8_t>& corner = add("one corner pixel");
    corner(rows - 1, cols - 1) = 1;
    return masks;
}

cv::Mat_<int> stripes(int rows, int cols) {
    cv::Mat_<int> regions(rows, cols);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) regions(y, x) = (x / 13 + y / 17) % 3;
    return regions;
}

TEST(MaskedSegmentation, FullMaskGivesThePlainLabels) {
    const cv::Mat_<cv::Vec3b> photo = samplePhoto();
    const cv::Mat_<uint8_t> full(photo.rows, photo.cols, uint8_t{1});
    const cv::Mat_<int> regions = stripes(photo.rows, photo.cols);
    for (const cv::Mat_<int>& r : {cv::Mat_<int>(), regions}) {
        for (int minSize : {0, 5, 40}) {
            Parameters p = photoParameters(!r.empty());
            p.minSize = minSize;
            p.threshold = 300;
            const Segmentation plain = segmentPhoto(photo, r, p);
            EXPECT_TRUE(sameLabels(maskedPhotoRun(photo, full, p, r), plain)) << minSize;
            EXPECT_TRUE(sameLabels(segmentPhoto(photo, r, p, full), plain));
            const cv::Mat_<cv::Vec3d> image = toEngineImage(toLab(photo));
            p.sigma = 0.8f;
            EXPECT_TRUE(sameLabels(maskedImageRun(image, full, p, r), segment(image, p, r)));
        }
    }
}

TEST(MaskedSegmentation, EqualsThePlainModelOnEveryShape) {
    const cv::Mat_<cv::Vec3b> photo = samplePhoto();
    const cv::Mat_<cv::Vec3d> image = toEngineImage(toLab(photo));
    const cv::Mat_<int> regions = stripes(photo.rows, photo.cols);
    for (const auto& [name, mask] : maskShapes(photo.rows, photo.cols)) {
        for (const cv::Mat_<int>& r : {cv::Mat_<int>(), regions}) {
            for (int minSize : {1, 5, 60}) {
                Parameters p = photoParameters(!r.empty());
                p.minSize = minSize;
                const Segmentation model = plainModel(image, mask, p, r);
                const Segmentation masked = segmentPhoto(photo, r, p, mask);
                EXPECT_TRUE(sameLabels(masked, model)) << name << ", min size " << minSize;
                EXPECT_TRUE(sameLabels(maskedImageRun(image, mask, p, r), model)) << name;
                EXPECT_TRUE(numberedInsideOnly(masked, mask)) << name;
            }
        }
    }
}

TEST(MaskedSegmentation, SmoothedPhotoReadsTheOutsideColoursOnlyThroughTheSmoothing) {
    const cv::Mat_<cv::Vec3b> photo = samplePhoto();
    const cv::Mat_<cv::Vec3d> image = toEngineImage(toLab(photo));
    const cv::Mat_<uint8_t> mask = maskShapes(photo.rows, photo.cols).front().second;
    Parameters p = photoParameters(false);
    p.sigma = 0.8f;
    EXPECT_TRUE(sameLabels(segmentPhoto(photo, cv::Mat_<int>(), p, mask),
                           plainModel(image, mask, p, cv::Mat_<int>())));
}

TEST(MaskedSegmentation, SmoothedAndOddValuesEqualThePlainModel) {
    std::mt19937 rng(5);
    cv::Mat_<cv::Vec3d> image(23, 31);
    for (auto& v : image) v = cv::Vec3d(rng() % 4 * 20.0, rng() % 3 * 1e-3, rng() % 2 ? 1e30 : 0);
    image(3, 4)[1] = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [name, mask] : maskShapes(image.rows, image.cols)) {
        for (float sigma : {0.0f, 0.8f}) {
            Parameters p = photoParameters(false);
            p.sigma = sigma;
            p.threshold = 50;
            EXPECT_TRUE(sameLabels(segment(image, p, cv::Mat_<int>(), mask),
                                   plainModel(image, mask, p, cv::Mat_<int>())))
                << name << ", sigma " << sigma;
        }
    }
}

TEST(MaskedSegmentation, IslandsStayApartAndNothingMergesIntoTheOutside) {
    cv::Mat_<cv::Vec3b> photo(20, 20, cv::Vec3b(90, 90, 90));
    cv::Mat_<uint8_t> mask(20, 20, uint8_t{0});
    mask(cv::Rect(0, 0, 10, 20)).setTo(1);  // one uniform half
    mask(15, 15) = 1;                       // a pixel alone
    mask(2, 17) = mask(3, 18) = 1;          // two pixels that touch at a corner
    Parameters p;
    p.capDivisor = 1;  // no cap in the way: what is joined, is joined by the edges
    const Segmentation s = segmentPhoto(photo, cv::Mat_<int>(), p, mask);
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.labels(0, 0), 1);
    EXPECT_EQ(s.labels(2, 17), 2);
    EXPECT_EQ(s.labels(3, 18), 2);
    EXPECT_EQ(s.labels(15, 15), 3);
    EXPECT_EQ(cv::countNonZero(s.labels), 203);
}

TEST(MaskedSegmentation, SizeCapCountsEveryPixel) {
    cv::Mat_<cv::Vec3b> photo(40, 40, cv::Vec3b(10, 200, 30));
    cv::Mat_<uint8_t> mask(40, 40, uint8_t{0});
    mask(cv::Rect(0, 0, 40, 10)).setTo(1);  // 400 of 1600 pixels
    Parameters p = photoParameters(false);
    p.capDivisor = 4;  // cap 1600 / 4 + 20 = 420: the inside is one superpixel
    EXPECT_EQ(segmentPhoto(photo, cv::Mat_<int>(), p, mask).count, 1);
    p.capDivisor = 8;  // cap 220
    const Segmentation s = segmentPhoto(photo, cv::Mat_<int>(), p, mask);
    EXPECT_EQ(s.count, 2);
    int largest = 0;
    for (int k = 1; k <= s.count; ++k) largest = std::max(largest, cv::countNonZero(s.labels == k));
    EXPECT_LE(largest, 220);
}

TEST(MaskedSegmentation, AllOutsideGivesNoSuperpixels) {
    const cv::Mat_<cv::Vec3b> photo = samplePhoto();
    const cv::Mat_<uint8_t> none(photo.rows, photo.cols, uint8_t{0});
    const Segmentation s = segmentPhoto(photo, cv::Mat_<int>(), Parameters(), none);
    EXPECT_EQ(s.count, 0);
    EXPECT_EQ(cv::countNonZero(s.labels), 0);
}

TEST(MaskedSegmentation, LabelsIntoTheCallersMatrixAndWarmSegmenter) {
    const cv::Mat_<cv::Vec3b> photo = samplePhoto();
    const cv::Mat_<uint8_t> mask = maskShapes(photo.rows, photo.cols).front().second;
    const Segmentation once = segmentPhoto(photo, cv::Mat_<int>(), Parameters(), mask);
    Segmenter segmenter(1);
    cv::Mat_<int> labels(photo.rows, photo.cols, -1);
    const int* memory = labels.ptr<int>();
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(segmenter.segmentPhotoInto(photo, cv::Mat_<int>(), Parameters(), mask, labels),
                  once.count);
        EXPECT_EQ(labels.ptr<int>(), memory);
        EXPECT_TRUE(std::equal(labels.begin(), labels.end(), once.labels.begin()));
        EXPECT_TRUE(sameLabels(segmenter.segmentPhoto(photo), segmentPhoto(photo)));
    }
    // A mask that is a view into a larger matrix (not continuous) reads the right bytes.
    cv::Mat_<uint8_t> wide(photo.rows, photo.cols + 7, uint8_t{0});
    mask.copyTo(wide(cv::Rect(3, 0, photo.cols, photo.rows)));
    EXPECT_TRUE(sameLabels(segmenter.segmentPhoto(photo, cv::Mat_<int>(), Parameters(),
                                                  wide(cv::Rect(3, 0, photo.cols, photo.rows))),
                           once));
}

TEST(MaskedSegmentation, RefusesMasksOfAnotherSizeOrKind) {
    const cv::Mat_<cv::Vec3b> photo(10, 12, cv::Vec3b(1, 2, 3));
    const auto refuses = [&](const cv::Mat& mask, const std::string& words) {
        try {
            segmentPhoto(photo, cv::Mat_<int>(), Parameters(), mask);
            ADD_FAILURE() << "accepted " << words;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    refuses(cv::Mat_<uint8_t>(12, 10, uint8_t{1}), "mask has 10 x 12 cells");
    refuses(cv::Mat(10, 12, CV_8UC3, cv::Scalar::all(1)), "CV_8UC1");
    refuses(cv::Mat(10, 12, CV_32FC1, cv::Scalar(1)), "CV_8UC1");
    EXPECT_THROW(segment(cv::Mat_<cv::Vec3d>(3, 3), Parameters(), cv::Mat_<int>(),
                         cv::Mat_<uint8_t>(3, 4, uint8_t{1})),
                 std::invalid_argument);
}

}  // namespace
}  // namespace segmora
