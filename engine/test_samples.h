#pragma once
// The samples and their golden region maps, for tests built with SEGMORA_SAMPLES (the
// samples folder).

#include <gtest/gtest.h>

#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>

namespace segmora {

inline cv::Mat sample(const std::string& name) {
    return cv::imread(std::string(SEGMORA_SAMPLES) + "/" + name + ".png", cv::IMREAD_COLOR);
}

inline cv::Mat_<int> goldenRegions(const std::string& name, const cv::Size& size) {
    std::ifstream in(std::string(SEGMORA_SAMPLES) + "/../tests/golden/regions/" + name + ".txt");
    cv::Mat_<int> regions(size);
    for (int& id : regions) in >> id;
    EXPECT_TRUE(in) << name;
    return regions;
}

}  // namespace segmora
