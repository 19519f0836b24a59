#pragma once
// Small photos and region maps drawn from a fuzz input, for the targets that compare two
// ways of segmenting them.

#include <opencv2/core.hpp>

#include "fuzz_data.h"

namespace segmora::fuzz {

// Photos of 2 to 4 colours (equal weights are the rule there) or of any bytes.
inline cv::Mat photoOf(FuzzData& in, int rows, int cols) {
    cv::Mat bgr(rows, cols, CV_8UC3);
    const int colours = 2 + in.below(4);  // 2 .. 4, or 5: any bytes
    cv::Vec3b palette[4];
    for (cv::Vec3b& colour : palette) colour = cv::Vec3b(in.byte(), in.byte(), in.byte());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            bgr.at<cv::Vec3b>(y, x) = colours <= 4 ? palette[in.below(colours)]
                                                   : cv::Vec3b(in.byte(), in.byte(), in.byte());
        }
    }
    return bgr;
}

// No region map, random ids 0 and 1, or diagonal bands.
inline cv::Mat_<int> regionsOf(FuzzData& in, int rows, int cols) {
    const int kind = in.below(3);
    if (kind == 0) return cv::Mat_<int>();
    cv::Mat_<int> regions(rows, cols);
    const int split = in.below(24);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) regions(y, x) = kind == 1 ? in.below(2) : (x + y) / (split + 1);
    }
    return regions;
}

}  // namespace segmora::fuzz
