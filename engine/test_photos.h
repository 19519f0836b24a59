#pragma once
// Photos for the engine's tests, made to hurt: noise (many distinct weights),
// a few grey levels (long runs of equal weights), diagonal stripes, one colour.

#include <opencv2/core.hpp>
#include <random>

namespace segmora {

constexpr int kTestPhotoKinds = 4;

inline cv::Mat testPhoto(int rows, int cols, int kind, std::mt19937& rng) {
    cv::Mat bgr(rows, cols, CV_8UC3);
    std::uniform_int_distribution<int> byte(0, 255), few(0, 2);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            cv::Vec3b& p = bgr.at<cv::Vec3b>(y, x);
            switch (kind) {
                case 0:
                    p = cv::Vec3b(byte(rng), byte(rng), byte(rng));
                    break;
                case 1:
                    p = cv::Vec3b::all(static_cast<uint8_t>(40 * few(rng)));
                    break;
                case 2:
                    p = cv::Vec3b::all(static_cast<uint8_t>((x + 2 * y) % 3 * 90));
                    break;
                default:
                    p = cv::Vec3b(10, 200, 30);
                    break;
            }
        }
    }
    return bgr;
}

}  // namespace segmora
