// photo_pixels PHOTO OUT.ppm: decodes PHOTO as the Segmora program does (cv::imread, colour)
// and writes its pixels as a binary PPM (P6, red-green-blue), which the Python tests read
// with numpy alone.
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "photo_pixels: usage: photo_pixels PHOTO OUT.ppm\n");
        return 2;
    }
    const cv::Mat bgr = cv::imread(argv[1], cv::IMREAD_COLOR);
    if (bgr.empty()) {
        std::fprintf(stderr, "photo_pixels: cannot read '%s'\n", argv[1]);
        return 1;
    }
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "photo_pixels: cannot create '%s'\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", rgb.cols, rgb.rows);
    bool written = true;
    for (int y = 0; y < rgb.rows; ++y) {
        const auto width = static_cast<size_t>(rgb.cols) * 3;
        written = written && std::fwrite(rgb.ptr(y), 1, width, out) == width;
    }
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "photo_pixels: cannot write '%s'\n", argv[2]);
        return 1;
    }
    return 0;
}
