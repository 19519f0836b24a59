#include "segmentation_checks.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace segmora {

namespace {

std::string numberText(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

void checkParameters(const Parameters& p) {
    if (!std::isfinite(p.threshold) || p.threshold < 0) {
        throw std::invalid_argument("threshold must be a finite number of at least 0, not " +
                                    numberText(p.threshold));
    }
    if (!(p.sigma >= 0 && p.sigma <= kMaxSigma)) {
        throw std::invalid_argument("sigma must be a number from 0 to " + numberText(kMaxSigma) +
                                    ", not " + numberText(p.sigma));
    }
    if (p.capDivisor <= 0) {
        throw std::invalid_argument("cap divisor must be at least 1, not " +
                                    std::to_string(p.capDivisor));
    }
    if (p.minSize < 0) {
        throw std::invalid_argument("minimum size must be at least 0, not " +
                                    std::to_string(p.minSize));
    }
    if (p.count < 0) {
        throw std::invalid_argument("count must be at least 1 (or 0 for none), not " +
                                    std::to_string(p.count));
    }
    if (p.threads < 0 || p.threads > 64) {
        throw std::invalid_argument("thread count must be from 0 to 64, not " +
                                    std::to_string(p.threads));
    }
}

}  // namespace

void checkSegmentationInput(int rows, int columns, const Parameters& parameters,
                            const cv::Mat_<int>* regions) {
    if (int64_t{rows} * columns >= kMaxPixelCount) {
        throw std::invalid_argument("image of " + std::to_string(columns) + " x " +
                                    std::to_string(rows) + " pixels is too large (" +
                                    pixelLimitText() + " pixels)");
    }
    checkParameters(parameters);
    if (regions == nullptr || regions->empty()) return;
    if (regions->dims != 2 || regions->rows != rows || regions->cols != columns) {
        throw std::invalid_argument("region map has " + std::to_string(regions->cols) + " x " +
                                    std::to_string(regions->rows) + " cells but the image has " +
                                    std::to_string(columns) + " x " + std::to_string(rows) +
                                    " pixels");
    }
}

void checkPhoto(const cv::Mat& bgr) {
    if (bgr.dims > 2) throw std::invalid_argument("photo must be a two-dimensional image");
    if (bgr.empty()) throw std::invalid_argument("photo is empty");
    if (bgr.type() != CV_8UC3) {
        throw std::invalid_argument(
            "photo must hold 8-bit pixels of three channels (CV_8UC3), not " +
            cv::typeToString(bgr.type()));
    }
}

Parameters resolvedPhotoParameters(Parameters parameters, bool withRegions) {
    if (parameters.capDivisor == 0) parameters.capDivisor = photoCapDivisor(withRegions);
    return parameters;
}

}  // namespace segmora
