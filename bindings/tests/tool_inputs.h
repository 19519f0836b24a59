#pragma once
// What the hosts' test tools read: a photo decoded as the Segmora program decodes it and an
// id map as whitespace-separated ids, one line per row. A tool that cannot read one names
// itself and the file on stderr and exits with status 1.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>

namespace segmora::tools {

inline cv::Mat decodedPhoto(const char* tool, const char* path) {
    const cv::Mat bgr = cv::imread(path, cv::IMREAD_COLOR);
    if (bgr.empty()) {
        std::fprintf(stderr, "%s: cannot read '%s'\n", tool, path);
        std::exit(1);
    }
    return bgr;
}

inline cv::Mat_<int> idText(const char* tool, const char* path, cv::Size size) {
    std::ifstream in(path);
    cv::Mat_<int> ids(size);
    for (int& id : ids) {
        if (!(in >> id)) {
            std::fprintf(stderr, "%s: '%s' holds too few ids\n", tool, path);
            std::exit(1);
        }
    }
    return ids;
}

}  // namespace segmora::tools
