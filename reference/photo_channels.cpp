#include "photo_channels.h"

#include <opencv2/imgproc.hpp>

#include "reference_rules.h"

namespace segmora {

cv::Mat_<cv::Vec3b> toLab(const cv::Mat_<cv::Vec3b>& colour) {
    cv::Mat_<cv::Vec3b> lab(colour.rows, colour.cols);
    cv::cvtColor(colour, lab, cv::COLOR_BGR2Lab, 0);
    return lab;
}

cv::Mat_<cv::Vec3d> toEngineImage(const cv::Mat_<cv::Vec3b>& lab) {
    cv::Mat_<cv::Vec3d> image;
    lab.convertTo(image, CV_64FC3, 1.0, 0.0);
    for (int y = 0; y < image.rows; ++y) {
        cv::Vec3d* row = image[y];
        for (int x = 0; x < image.cols; ++x) row[x][0] = row[x][0] * kReferenceLightnessScale;
    }
    return image;
}

}  // namespace segmora
