// Makes the benchmark photos: resize_photo INPUT SIDE OUTPUT writes INPUT
// resized to SIDE x SIDE pixels with bicubic interpolation; SIDE may also be
// WIDTHxHEIGHT (e.g. 481x321).
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: resize_photo INPUT SIDE|WIDTHxHEIGHT OUTPUT\n");
        return 2;
    }
    const cv::Mat photo = cv::imread(argv[1], cv::IMREAD_COLOR);
    char* rest = nullptr;
    const long width = std::strtol(argv[2], &rest, 10);
    const long height = *rest == 'x' ? std::strtol(rest + 1, &rest, 10) : width;
    if (photo.empty() || *rest != '\0' || width <= 0 || height <= 0 || width > 100000 ||
        height > 100000) {
        return 1;
    }
    cv::Mat resized;
    cv::resize(photo, resized, cv::Size(static_cast<int>(width), static_cast<int>(height)), 0, 0,
               cv::INTER_CUBIC);
    return cv::imwrite(argv[3], resized) ? 0 : 1;
}
