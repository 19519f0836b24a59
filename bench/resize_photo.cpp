// Makes the benchmark photos: resize_photo INPUT SIDE OUTPUT writes INPUT
// resized to SIDE x SIDE pixels with bicubic interpolation.
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: resize_photo INPUT SIDE OUTPUT\n");
        return 2;
    }
    const cv::Mat photo = cv::imread(argv[1], cv::IMREAD_COLOR);
    const int side = std::atoi(argv[2]);
    if (photo.empty() || side <= 0) return 1;
    cv::Mat resized;
    cv::resize(photo, resized, cv::Size(side, side), 0, 0, cv::INTER_CUBIC);
    return cv::imwrite(argv[3], resized) ? 0 : 1;
}
