#include "segmora/segmora.h"

#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <string>

#include "segment_image.h"

namespace segmora {

namespace {

constexpr float kPhotoThreshold = 500.0f;
constexpr int kPhotoCapDivisor = 500;
constexpr int kPhotoCapDivisorWithRegions = 3000;

void checkPhoto(const cv::Mat& bgr) {
    if (bgr.dims > 2) throw std::invalid_argument("photo must be a two-dimensional image");
    if (bgr.type() != CV_8UC3 && !(bgr.empty() && bgr.type() == CV_8UC1)) {
        throw std::invalid_argument("photo must hold 8-bit pixels of three channels (CV_8UC3), not " +
                                    cv::typeToString(bgr.type()));
    }
}

cv::Mat_<cv::Vec3b> labOf(const cv::Mat& bgr) {
    cv::Mat_<cv::Vec3b> lab(bgr.rows, bgr.cols);
    if (!bgr.empty()) cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab, 0);
    return lab;
}

}  // namespace

Parameters photoParameters(bool withRegions) {
    Parameters parameters;
    parameters.threshold = kPhotoThreshold;
    parameters.sigma = 0.0f;
    parameters.capDivisor = withRegions ? kPhotoCapDivisorWithRegions : kPhotoCapDivisor;
    return parameters;
}

struct Segmenter::Buffers {};

Segmenter::Segmenter(int threads) : buffers(std::make_unique<Buffers>()), threads(threads) {
    if (threads < 0) throw std::invalid_argument("thread count must not be negative");
}
Segmenter::~Segmenter() = default;
Segmenter::Segmenter(Segmenter&&) noexcept = default;
Segmenter& Segmenter::operator=(Segmenter&&) noexcept = default;

void Segmenter::release() {}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr) {
    checkPhoto(bgr);
    const Parameters parameters = photoParameters(false);
    Segmentation result;
    segmentLabImage(labOf(bgr), parameters.threshold, result.count, result.labels,
                    parameters.capDivisor, nullptr);
    return result;
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions) {
    checkPhoto(bgr);
    const Parameters parameters = photoParameters(true);
    Segmentation result;
    segmentLabImage(labOf(bgr), parameters.threshold, result.count, result.labels,
                    parameters.capDivisor, &regions);
    return result;
}

Segmentation Segmenter::segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                const cv::Mat_<int>& regions) {
    Segmentation result;
    segmentImage(image, parameters.sigma, parameters.threshold, result.count, result.labels,
                 parameters.capDivisor, regions);
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
