// reference_labels PHOTO THRESHOLD SIGMA CAP_DIVISOR MIN_SIZE [REGIONS]: decodes PHOTO as the
// Segmora program does (cv::imread, colour) and prints the reference path's labels for the
// knobs as the program's label file holds them, then "count N". CAP_DIVISOR 0 is the photo
// default; REGIONS is a region file of whitespace-separated ids, one line per row.
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "segment_image_reference.h"
#include "segmora/segmora.h"
#include "tool_inputs.h"

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr,
                     "usage: reference_labels PHOTO THRESHOLD SIGMA CAP_DIVISOR "
                     "MIN_SIZE [REGIONS]\n");
        return 2;
    }
    const char* tool = "reference_labels";
    const cv::Mat bgr = segmora::tools::decodedPhoto(tool, argv[1]);
    cv::Mat_<cv::Vec3b> lab;
    cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
    cv::Mat_<cv::Vec3d> channels;
    lab.convertTo(channels, CV_64FC3);
    for (auto& p : channels) p[0] = p[0] * segmora::kLightnessScale;

    const bool withRegions = argc == 7;
    const cv::Mat_<int> regions = withRegions ? segmora::tools::idText(tool, argv[6], bgr.size())
                                              : cv::Mat_<int>(bgr.size(), 1);
    int capDivisor = std::atoi(argv[4]);
    if (capDivisor == 0) capDivisor = segmora::photoCapDivisor(withRegions);
    int count = 0;
    cv::Mat_<int> labels;
    segmora::segmentImageReference(channels, std::strtof(argv[3], nullptr),
                                   std::strtof(argv[2], nullptr), count, labels, capDivisor,
                                   regions, std::atoi(argv[5]));
    std::string text;
    for (int y = 0; y < labels.rows; ++y) {
        for (int x = 0; x < labels.cols; ++x) {
            text += (x > 0 ? ", " : "") + std::to_string(labels(y, x));
        }
        text += "\n";
    }
    std::printf("%scount %d\n", text.c_str(), count);
    return 0;
}
