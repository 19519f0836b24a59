#pragma once

#include <opencv2/core.hpp>

namespace segmora {

// OpenCV matrix allocator that places large matrices in huge-page backed
// mappings (see LargeBuffer); small ones come from the ordinary heap.
// Installed as OpenCV's default allocator by useLargeMatrixAllocator().
class LargeMatrixAllocator : public cv::MatAllocator {
  public:
    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                           cv::AccessFlag flags, cv::UMatUsageFlags usageFlags) const override;
    bool allocate(cv::UMatData* data, cv::AccessFlag accessFlags,
                  cv::UMatUsageFlags usageFlags) const override;
    void deallocate(cv::UMatData* data) const override;
};

void useLargeMatrixAllocator();

}  // namespace segmora
