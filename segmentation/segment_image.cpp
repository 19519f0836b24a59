#include "segment_image.h"

namespace segmora {

void segmentImage(const cv::Mat_<cv::Vec3d>& image, float sigma, float threshold,
                  int& segmentCount, cv::Mat_<int>& labels, int capDivisor,
                  const cv::Mat_<int>& constraints) {
    segmentImageReference(image, sigma, threshold, segmentCount, labels, capDivisor, constraints);
}

}  // namespace segmora
