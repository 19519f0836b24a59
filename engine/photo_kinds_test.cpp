// Every photo kind segmentPhoto and describe take becomes the 8-bit blue-green-red pixels
// of the rules (high byte, times 255 rounded, grey to all colours, alpha dropped), and gives
// the labels and graph of those pixels; other kinds and values are refused by name.
#include "photo_kinds.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "segmora/segmora.h"
#include "test_photos.h"

namespace segmora {
namespace {

struct Kind {
    const char* name;
    cv::Mat photo;            // as a caller hands it over
    cv::Mat_<cv::Vec3b> bgr;  // what the rules make of it
};

// The kinds of one 8-bit photo: each holds the same 8-bit values in its own way, with
// noise where the rules drop it (low bytes, alpha).
std::vector<Kind> kindsOf(const cv::Mat_<cv::Vec3b>& bgr, unsigned seed) {
    std::mt19937 rng(seed);
    cv::Mat low(bgr.size(), CV_16UC3), alpha(bgr.size(), CV_8UC1), alpha16(bgr.size(), CV_16UC1);
    cv::randu(low, 0, 256);
    cv::randu(alpha, 0, 256);
    cv::randu(alpha16, 0, 65536);
    cv::Mat grey, greyBgr, wide, wideGrey, bgra, bgra16, greyAlpha, floats, doubles, doubles4;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(grey, greyBgr, cv::COLOR_GRAY2BGR);
    bgr.convertTo(wide, CV_16UC3, 256);
    wide += low;
    grey.convertTo(wideGrey, CV_16UC1, 256);
    cv::merge(std::vector<cv::Mat>{bgr, alpha}, bgra);
    cv::merge(std::vector<cv::Mat>{wide, alpha16}, bgra16);
    cv::merge(std::vector<cv::Mat>{grey, alpha}, greyAlpha);
    bgr.convertTo(floats, CV_32FC3, 1.0 / 255);
    bgr.convertTo(doubles, CV_64FC3, 1.0 / 255);
    cv::Mat ones(bgr.size(), CV_64FC1, cv::Scalar(1.0));
    cv::merge(std::vector<cv::Mat>{doubles, ones}, doubles4);
    return {
        {"CV_8UC3", bgr, bgr},     {"CV_8UC1", grey, greyBgr},      {"CV_8UC2", greyAlpha, greyBgr},
        {"CV_8UC4", bgra, bgr},    {"CV_16UC1", wideGrey, greyBgr}, {"CV_16UC3", wide, bgr},
        {"CV_16UC4", bgra16, bgr}, {"CV_32FC3", floats, bgr},       {"CV_64FC4", doubles4, bgr}};
}

void expectSameGraph(const SuperpixelGraph& got, const SuperpixelGraph& want) {
    EXPECT_EQ(got.size, want.size);
    EXPECT_EQ(got.edgeA, want.edgeA);
    EXPECT_EQ(got.border, want.border);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(got.meanBgr[c], want.meanBgr[c]);
        EXPECT_EQ(got.meanLab[c], want.meanLab[c]);
    }
}

TEST(PhotoKinds, EveryKindGivesTheLabelsAndGraphOfItsEightBitPixels) {
    std::mt19937 rng(5);
    for (int kind = 0; kind < kTestPhotoKinds; ++kind) {
        const cv::Mat_<cv::Vec3b> bgr = testPhoto(37, 53, kind, rng);
        for (const Kind& k : kindsOf(bgr, 11 + kind)) {
            SCOPED_TRACE(std::string(k.name) + ", photo kind " + std::to_string(kind));
            cv::Mat converted;
            const cv::Mat& made = bgrPhoto(k.photo, converted);
            ASSERT_EQ(made.type(), CV_8UC3);
            EXPECT_EQ(cv::norm(made, k.bgr, cv::NORM_INF), 0);
            const Segmentation want = segmentPhoto(k.bgr);
            const Segmentation got = segmentPhoto(k.photo);
            EXPECT_EQ(got.count, want.count);
            EXPECT_EQ(cv::norm(got.labels, want.labels, cv::NORM_INF), 0);
            expectSameGraph(describe(want, k.photo), describe(want, k.bgr));
            // A view into a larger photo (rows apart by more than their width) is the same.
            cv::Mat frame(k.photo.rows + 2, k.photo.cols + 5, k.photo.type(), cv::Scalar::all(0));
            k.photo.copyTo(frame(cv::Rect(3, 1, k.photo.cols, k.photo.rows)));
            const Segmentation inFrame =
                segmentPhoto(frame(cv::Rect(3, 1, k.photo.cols, k.photo.rows)));
            EXPECT_EQ(cv::norm(inFrame.labels, want.labels, cv::NORM_INF), 0);
        }
    }
}

TEST(PhotoKinds, FloatingPointValuesRoundToNearestAndHalvesUp) {
    cv::Mat_<float> values(1, 6);
    values << 0.0f, 1.0f, 0.5f / 255, 0.49f / 255, 127.5f / 255, 254.6f / 255;
    cv::Mat converted;
    const cv::Mat& bgr = bgrPhoto(values, converted);
    std::vector<int> got;
    for (int x = 0; x < 6; ++x) got.push_back(bgr.at<cv::Vec3b>(0, x)[1]);
    EXPECT_EQ(got, (std::vector<int>{0, 255, 1, 0, 128, 255}));
}

std::string refusal(const cv::Mat& photo) {
    try {
        segmentPhoto(photo);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "accepted";
}

TEST(PhotoKinds, OtherKindsAndValuesAreRefusedByName) {
    EXPECT_EQ(refusal(cv::Mat(2, 3, CV_16SC3, cv::Scalar::all(0))),
              "photo must hold 8-bit, 16-bit or floating-point (0..1) pixels of 1 to 4 channels, "
              "not CV_16SC3");
    EXPECT_NE(refusal(cv::Mat(2, 3, CV_8UC(5), cv::Scalar::all(0))).find("not CV_8UC5"),
              std::string::npos);
    cv::Mat_<cv::Vec3f> floats(2, 3, cv::Vec3f(0.5f, 0.5f, 0.5f));
    floats(1, 2)[1] = 1.25f;
    EXPECT_EQ(refusal(floats),
              "photo pixel at row 1, column 2, channel 1 is 1.25, outside 0..1 "
              "(floating-point photos hold 0 to 1)");
    floats(1, 2)[1] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_NE(refusal(floats).find("is nan"), std::string::npos);
    EXPECT_EQ(refusal(cv::Mat(0, 3, CV_16UC3)), "photo is empty");
    const int sizes[] = {2, 3, 4};
    EXPECT_EQ(refusal(cv::Mat(3, sizes, CV_16UC1)), "photo must be a two-dimensional image");
}

}  // namespace
}  // namespace segmora
