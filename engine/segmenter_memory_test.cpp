// Resident memory over many calls in one process: a Segmenter keeps its warm
// buffers and no more, one-shot calls keep nothing, and release() gives the
// buffers back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "segmora/segmora.h"

namespace segmora {
namespace {

constexpr double kMB = 1024.0 * 1024.0;

double residentMB() {
    long pages = 0, resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
    if (statm != nullptr) std::fclose(statm);
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / kMB;
}

// The sample at 1800 x 1200: 2.2 megapixels, about 60 MB of engine buffers.
cv::Mat largePhoto() {
    const cv::Mat sample = cv::imread(SEGMORA_SAMPLE_PHOTO, cv::IMREAD_COLOR);
    cv::Mat photo;
    if (!sample.empty()) cv::resize(sample, photo, cv::Size(1800, 1200), 0, 0, cv::INTER_CUBIC);
    return photo;
}

#ifdef SEGMORA_SANITIZED
#define SKIP_WHEN_SANITIZED() GTEST_SKIP() << "resident memory is not measured under sanitizers"
#else
#define SKIP_WHEN_SANITIZED() (void)0
#endif

// Resident memory after `calls` runs of `segment`, each result dropped.
template <class Segment>
double residentAfter(int calls, Segment&& segment) {
    int count = 0;
    for (int i = 0; i < calls; ++i) count += segment().count;
    EXPECT_GT(count, 0);
    return residentMB();
}

TEST(SegmenterMemory, ResidentMemoryStopsGrowingAfterWarmUp) {
    SKIP_WHEN_SANITIZED();
    const cv::Mat photo = largePhoto();
    ASSERT_FALSE(photo.empty()) << SEGMORA_SAMPLE_PHOTO;
    const double pixelsMB = static_cast<double>(photo.total()) / kMB;
    Segmenter segmenter;
    const double warm = residentAfter(3, [&] { return segmenter.segmentPhoto(photo); });
    const double later = residentAfter(8, [&] { return segmenter.segmentPhoto(photo); });
    EXPECT_LT(later - warm, 2 * pixelsMB) << "warm " << warm << " MB, later " << later << " MB";

    const double oneShotWarm = residentAfter(3, [&] { return segmentPhoto(photo); });
    const double oneShotLater = residentAfter(8, [&] { return segmentPhoto(photo); });
    EXPECT_LT(oneShotLater - oneShotWarm, 2 * pixelsMB)
        << "warm " << oneShotWarm << " MB, later " << oneShotLater << " MB";
}

TEST(SegmenterMemory, OneShotCallsKeepNothingAndReleaseGivesTheBuffersBack) {
    SKIP_WHEN_SANITIZED();
    const cv::Mat photo = largePhoto();
    ASSERT_FALSE(photo.empty()) << SEGMORA_SAMPLE_PHOTO;
    const double pixelsMB = static_cast<double>(photo.total()) / kMB;
    // OpenCV's and the threads' own first-use memory, from a photo too small to matter.
    const cv::Mat small = photo(cv::Rect(0, 0, 64, 48)).clone();
    const double before = residentAfter(2, [&] { return segmentPhoto(small); });
    // The engine's buffers take 28 bytes per pixel: none may stay.
    const double afterOneShot = residentAfter(2, [&] { return segmentPhoto(photo); });
    EXPECT_LT(afterOneShot - before, 6 * pixelsMB)
        << "before " << before << " MB, after " << afterOneShot << " MB";

    Segmenter segmenter;
    const double holding = residentAfter(1, [&] { return segmenter.segmentPhoto(photo); });
    // After one call it keeps the block of the channels and the forest (12 bytes per
    // pixel), after two also the edges' (16 more).
    EXPECT_GT(holding - afterOneShot, 9 * pixelsMB) << "the warm buffers are kept";
    const double warm = residentAfter(1, [&] { return segmenter.segmentPhoto(photo); });
    EXPECT_GT(warm - afterOneShot, 22 * pixelsMB) << "all warm buffers are kept";
    segmenter.release();
    const double released = residentMB();
    EXPECT_LT(released - afterOneShot, 6 * pixelsMB)
        << "release() left " << released - afterOneShot << " MB";
}

}  // namespace
}  // namespace segmora
