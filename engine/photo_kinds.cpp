#include "photo_kinds.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "photo_pixels.h"

namespace segmora {

namespace {

bool takenKind(const cv::Mat& photo) {
    const int depth = photo.depth();
    const bool known = depth == CV_8U || depth == CV_16U || depth == CV_32F || depth == CV_64F;
    return known && photo.channels() <= 4;
}

std::string valueText(double value) {
    std::string text = cv::format("%.17g", value);
    for (int digits = 1; digits < 17; ++digits) {  // the shortest that reads back the same
        const std::string shorter = cv::format("%.*g", digits, value);
        if (std::stod(shorter) == value) return shorter;
    }
    return text;
}

// Refuses the first floating-point value outside 0..1.
template <class T>
void checkUnitRange(const cv::Mat& photo) {
    const int values = photo.cols * photo.channels();
    for (int y = 0; y < photo.rows; ++y) {
        const T* row = photo.ptr<T>(y);
        for (int i = 0; i < values; ++i) {
            if (isUnitValue(row[i])) continue;
            throw std::invalid_argument("photo pixel at row " + std::to_string(y) + ", column " +
                                        std::to_string(i / photo.channels()) + ", channel " +
                                        std::to_string(i % photo.channels()) + " is " +
                                        valueText(row[i]) +
                                        ", outside 0..1 (floating-point photos hold 0 to 1)");
        }
    }
}

// An OpenCV photo is blue-green-red(-alpha) or grey(-alpha): the copy starts from the red
// value, the third, and steps back to green and blue.
template <class T>
void convert(const cv::Mat& photo, cv::Mat& bgr) {
    const int channels = photo.channels();
    const bool colour = channels >= 3;
    const PixelStrides strides{static_cast<std::ptrdiff_t>(photo.step1(0)), channels,
                               colour ? -1 : 1};
    const T* first = photo.ptr<T>(0) + (colour ? 2 : 0);
    bgrFromPixels(
        first, photo.rows, photo.cols, channels, strides, [](T v) { return byteOf(v); }, bgr);
}

}  // namespace

const cv::Mat& bgrPhoto(const cv::Mat& photo, cv::Mat& converted) {
    if (photo.dims > 2) throw std::invalid_argument("photo must be a two-dimensional image");
    if (photo.type() == CV_8UC3 || photo.empty()) return photo;
    if (!takenKind(photo)) {
        throw std::invalid_argument(
            "photo must hold 8-bit, 16-bit or floating-point (0..1) pixels of 1 to 4 channels, "
            "not " +
            cv::typeToString(photo.type()));
    }
    switch (photo.depth()) {
        case CV_8U:
            convert<std::uint8_t>(photo, converted);
            break;
        case CV_16U:
            convert<std::uint16_t>(photo, converted);
            break;
        case CV_32F:
            checkUnitRange<float>(photo);
            convert<float>(photo, converted);
            break;
        default:
            checkUnitRange<double>(photo);
            convert<double>(photo, converted);
    }
    return converted;
}

}  // namespace segmora
