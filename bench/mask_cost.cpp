// What a mask saves: the case of the cost figure and the engine timed on it.
//
//   mask_cost make IMAGES PHOTO MASK   writes a 4000 x 3000 mosaic of the photos in IMAGES
//                                      (whole, at their own scale) and a mask that keeps
//                                      10% of it in discs spread over 90% x 90% of it
//   mask_cost engine PHOTO MASK RUNS [masked]
//                                      the engine alone on PHOTO without and with MASK (read
//                                      as Segmora reads it), in turn, RUNS times each: medians
//                                      of wall and processor time ("masked": that run alone,
//                                      for a profiler)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "colour_image.h"
#include "mask_file.h"
#include "segmora/segmora.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

int makeCase(const std::string& folder, const std::string& photoPath, const std::string& maskPath) {
    std::vector<cv::Mat> photos;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".png") names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) photos.push_back(cv::imread(name, cv::IMREAD_COLOR));
    if (photos.empty()) return std::fprintf(stderr, "no photos in %s\n", folder.c_str()), 1;
    cv::Mat mosaic(kHeight, kWidth, CV_8UC3);
    size_t next = 0;
    for (int y = 0; y < kHeight; y += 400) {
        for (int x = 0; x < kWidth;) {
            const cv::Mat& p = photos[next++ % photos.size()];
            const cv::Rect place(x, y, std::min(p.cols, kWidth - x), std::min(400, kHeight - y));
            p(cv::Rect(0, 0, place.width, std::min(place.height, p.rows)))
                .copyTo(mosaic(cv::Rect(x, y, place.width, std::min(place.height, p.rows))));
            x += place.width;
        }
    }
    // 20 x 15 discs on a grid over the middle 90% x 90%, of radius for 10% of the pixels.
    const int across = 20, down = 15;
    const double radius = std::sqrt(0.1 * kWidth * kHeight / (across * down * M_PI));
    cv::Mat mask(kHeight, kWidth, CV_8UC1, cv::Scalar(0));
    for (int j = 0; j < down; ++j) {
        for (int i = 0; i < across; ++i) {
            const double cx =
                0.05 * kWidth + radius + i * (0.9 * kWidth - 2 * radius) / (across - 1);
            const double cy =
                0.05 * kHeight + radius + j * (0.9 * kHeight - 2 * radius) / (down - 1);
            cv::circle(mask, cv::Point(cvRound(cx), cvRound(cy)), cvRound(radius), 255, cv::FILLED);
        }
    }
    const cv::Rect box = cv::boundingRect(mask);
    std::printf("photo %d x %d; mask keeps %.2f%% in a box of %.1f%% of the photo\n", kWidth,
                kHeight, 100.0 * cv::countNonZero(mask) / mask.total(),
                100.0 * box.area() / mask.total());
    return cv::imwrite(photoPath, mosaic, {cv::IMWRITE_JPEG_QUALITY, 95}) &&
                   cv::imwrite(maskPath, mask)
               ? 0
               : 1;
}

double processorSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int timeEngine(const std::string& photoPath, const std::string& maskPath, int runs,
               bool maskedOnly) {
    const cv::Mat_<cv::Vec3b> photo = segmora::readColourImage(photoPath);
    const cv::Mat_<uint8_t> mask = segmora::readMaskFile(maskPath, photo.rows, photo.cols).inside;
    std::vector<double> wall[2], cpu[2];
    segmora::Segmenter segmenter;
    for (int run = 0; run < runs; ++run) {
        for (int masked = maskedOnly ? 1 : 0; masked < 2; ++masked) {
            const auto start = std::chrono::steady_clock::now();
            const double startCpu = processorSeconds();
            const int count = segmenter
                                  .segmentPhoto(photo, cv::Mat_<int>(), segmora::Parameters(),
                                                masked ? cv::Mat(mask) : cv::Mat())
                                  .count;
            cpu[masked].push_back(processorSeconds() - startCpu);
            wall[masked].push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            if (run == 0) std::printf("%s: %d superpixels\n", masked ? "masked" : "whole", count);
        }
    }
    if (maskedOnly) wall[0] = cpu[0] = {1.0};
    for (int masked = 0; masked < 2; ++masked) {
        std::printf("engine %-6s median of %d: %.3f s wall, %.3f s processor\n",
                    masked ? "masked" : "whole", runs, median(wall[masked]), median(cpu[masked]));
    }
    std::printf("masked / whole: %.1f%% wall, %.1f%% processor\n",
                100 * median(wall[1]) / median(wall[0]), 100 * median(cpu[1]) / median(cpu[0]));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 4 && a[0] == "make") return makeCase(a[1], a[2], a[3]);
    if ((a.size() == 4 || a.size() == 5) && a[0] == "engine") {
        return timeEngine(a[1], a[2], std::atoi(a[3].c_str()), a.size() == 5);
    }
    std::fprintf(stderr,
                 "usage: mask_cost make IMAGES PHOTO MASK | engine PHOTO MASK RUNS [masked]\n");
    return 2;
}
