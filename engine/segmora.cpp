#include "segmora/segmora.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "block_pool.h"
#include "parallel.h"
#include "segment_image.h"

namespace segmora {

namespace {

constexpr float kPhotoThreshold = 500.0f;
constexpr int kPhotoCapDivisor = 500;
constexpr int kPhotoCapDivisorWithRegions = 3000;

void checkPhoto(const cv::Mat& bgr) {
    if (bgr.dims > 2) throw std::invalid_argument("photo must be a two-dimensional image");
    if (bgr.type() != CV_8UC3 && !(bgr.empty() && bgr.type() == CV_8UC1)) {
        throw std::invalid_argument(
            "photo must hold 8-bit pixels of three channels (CV_8UC3), not " +
            cv::typeToString(bgr.type()));
    }
}

}  // namespace

Parameters photoParameters(bool withRegions) {
    Parameters parameters;
    parameters.threshold = kPhotoThreshold;
    parameters.sigma = 0.0f;
    parameters.capDivisor = withRegions ? kPhotoCapDivisorWithRegions : kPhotoCapDivisor;
    return parameters;
}

// The warm buffers: mappings released by earlier stages and calls, kept for
// the next ones.
struct Segmenter::Buffers {
    BlockPool pool;
    bool usedBefore = false;

    // The workspace of a call; a moved-from Segmenter gets fresh buffers. A
    // first call (one-shot calls and the program have only that) puts the
    // labels in spent memory for the smallest peak; later ones keep every big
    // buffer warm for the next call.
    static Workspace of(std::unique_ptr<Buffers>& buffers, int threads) {
        if (!buffers) buffers = std::make_unique<Buffers>();
        const bool first = !std::exchange(buffers->usedBefore, true);
        return Workspace{buffers->pool, threadCountFor(threads), first};
    }
};

Segmenter::Segmenter(int threads) : buffers(std::make_unique<Buffers>()), threadCount(threads) {
    if (threads < 0) throw std::invalid_argument("thread count must not be negative");
}
Segmenter::~Segmenter() = default;
Segmenter::Segmenter(Segmenter&&) noexcept = default;
Segmenter& Segmenter::operator=(Segmenter&&) noexcept = default;

void Segmenter::release() {
    if (!buffers) return;
    buffers->pool.trim();
    buffers->usedBefore = false;
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr) {
    return segmentPhotoWith(bgr, nullptr);
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions) {
    return segmentPhotoWith(bgr, &regions);
}

Segmentation Segmenter::segmentPhotoWith(const cv::Mat& bgr, const cv::Mat_<int>* regions) {
    checkPhoto(bgr);
    const Parameters parameters = photoParameters(regions != nullptr);
    Segmentation result;
    segmentBgrPhoto(bgr, parameters.threshold, result.count, result.labels, parameters.capDivisor,
                    regions, Buffers::of(buffers, threadCount));
    return result;
}

Segmentation Segmenter::segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                const cv::Mat_<int>& regions) {
    if (parameters.threads < 0) throw std::invalid_argument("thread count must not be negative");
    Segmentation result;
    segmentImage(image, parameters.sigma, parameters.threshold, result.count, result.labels,
                 parameters.capDivisor, regions,
                 Buffers::of(buffers, parameters.threads != 0 ? parameters.threads : threadCount));
    return result;
}

Segmentation segmentPhoto(const cv::Mat& bgr) {
    return Segmenter().segmentPhoto(bgr);
}

Segmentation segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions) {
    return Segmenter().segmentPhoto(bgr, regions);
}

Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                     const cv::Mat_<int>& regions) {
    return Segmenter(parameters.threads).segment(image, parameters, regions);
}

}  // namespace segmora
