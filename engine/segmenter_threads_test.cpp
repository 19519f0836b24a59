// Segmenters side by side on threads of their own, and the thread count inside
// one call: neither may change a label.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {
namespace {

bool sameLabels(const Segmentation& a, const Segmentation& b) {
    return a.count == b.count && a.labels.size() == b.labels.size() &&
           std::equal(a.labels.begin(), a.labels.end(), b.labels.begin());
}

// A sample photo at twice its size: large enough (over 2^21 edges) for the
// engine to split its stages between threads.
cv::Mat doubledSample(const std::string& name) {
    const cv::Mat sample = cv::imread(std::string(SEGMORA_SAMPLES) + "/" + name, cv::IMREAD_COLOR);
    cv::Mat photo;
    if (!sample.empty()) cv::resize(sample, photo, sample.size() * 2, 0, 0, cv::INTER_CUBIC);
    return photo;
}

TEST(SegmenterThreads, TwoThreadsSegmentDifferentPhotosAtOnce) {
    const cv::Mat photos[] = {doubledSample("chelsea.png"), doubledSample("coffee.png")};
    ASSERT_FALSE(photos[0].empty() || photos[1].empty()) << SEGMORA_SAMPLES;
    const cv::Mat_<int> regions(photos[1].size(), 7);
    Segmentation expected[2];
    Segmenter single(1);
    expected[0] = single.segmentPhoto(photos[0]);
    expected[1] = single.segmentPhoto(photos[1], regions);

    Segmentation kept[2][2], oneShot[2];
    auto work = [&](int which) {
        Segmenter segmenter(2);
        for (Segmentation& result : kept[which]) {
            result = which == 0 ? segmenter.segmentPhoto(photos[0])
                                : segmenter.segmentPhoto(photos[1], regions);
        }
        oneShot[which] = which == 0 ? segmentPhoto(photos[0]) : segmentPhoto(photos[1], regions);
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE("photo " + std::to_string(which));
        EXPECT_TRUE(sameLabels(kept[which][0], expected[which]));
        EXPECT_TRUE(sameLabels(kept[which][1], expected[which]));
        EXPECT_TRUE(sameLabels(oneShot[which], expected[which]));
    }
}

TEST(SegmenterThreads, ThreadCountNeverChangesTheLabels) {
    // The photo's weights are counted and placed; the noise has too many
    // distinct weights and takes the stored-key sort.
    const cv::Mat photo = doubledSample("chelsea.png");
    ASSERT_FALSE(photo.empty()) << SEGMORA_SAMPLES;
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> value(0.0, 100.0);
    cv::Mat_<cv::Vec3d> noise(700, 800);
    for (auto& p : noise) p = cv::Vec3d(value(rng), value(rng), value(rng));
    Parameters parameters;
    parameters.threads = 1;
    const Segmentation photoSingle = Segmenter(1).segmentPhoto(photo);
    const Segmentation noiseSingle = segment(noise, parameters);
    for (int threads : {2, 3, 8}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        EXPECT_TRUE(sameLabels(Segmenter(threads).segmentPhoto(photo), photoSingle));
        parameters.threads = threads;
        EXPECT_TRUE(sameLabels(segment(noise, parameters), noiseSingle));
    }
}

}  // namespace
}  // namespace segmora
