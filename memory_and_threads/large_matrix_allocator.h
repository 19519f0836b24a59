#pragma once

#include <opencv2/core.hpp>

#include "block_pool.h"

namespace segmora {

// OpenCV matrix allocator that places large matrices in huge-page backed
// mappings from a pool of its own (see BlockPool), not the engine's; small
// ones come from the ordinary heap. Installed as OpenCV's default allocator by
// useLargeMatrixAllocator(), for the program alone.
class LargeMatrixAllocator : public cv::MatAllocator {
  public:
    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                           cv::AccessFlag flags, cv::UMatUsageFlags usageFlags) const override;
    bool allocate(cv::UMatData* data, cv::AccessFlag accessFlags,
                  cv::UMatUsageFlags usageFlags) const override;
    void deallocate(cv::UMatData* data) const override;

  private:
    mutable BlockPool pool;
};

// Makes a LargeMatrixAllocator OpenCV's default allocator for the rest of the
// process (it is never destroyed: matrices may outlive main).
void useLargeMatrixAllocator();

}  // namespace segmora
