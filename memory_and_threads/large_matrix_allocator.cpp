#include "large_matrix_allocator.h"

namespace segmora {

cv::UMatData* LargeMatrixAllocator::allocate(int dims, const int* sizes, int type, void* data,
                                             size_t* step, cv::AccessFlag,
                                             cv::UMatUsageFlags) const {
    size_t total = CV_ELEM_SIZE(type);
    for (int i = dims - 1; i >= 0; --i) {
        if (step != nullptr) {
            if (data != nullptr && step[i] != cv::Mat::AUTO_STEP) {
                total = step[i];
            } else {
                step[i] = total;
            }
        }
        total *= static_cast<size_t>(sizes[i]);
    }
    auto* u = new cv::UMatData(this);
    if (data != nullptr) {
        u->data = u->origdata = static_cast<uchar*>(data);
        u->flags |= cv::UMatData::USER_ALLOCATED;
    } else {
        bool mapped = false;
        try {
            u->data = u->origdata = static_cast<uchar*>(pool.allocate(total, mapped));
        } catch (...) {
            delete u;
            throw;
        }
        u->allocatorFlags_ = mapped ? 1 : 0;
    }
    u->size = total;
    return u;
}

bool LargeMatrixAllocator::allocate(cv::UMatData* data, cv::AccessFlag, cv::UMatUsageFlags) const {
    return data != nullptr;
}

void LargeMatrixAllocator::deallocate(cv::UMatData* u) const {
    if (u == nullptr) return;
    if (!(u->flags & cv::UMatData::USER_ALLOCATED)) {
        pool.release(u->origdata, u->allocatorFlags_ == 1);
    }
    delete u;
}

void useLargeMatrixAllocator() {
    static LargeMatrixAllocator* allocator = new LargeMatrixAllocator;
    cv::Mat::setDefaultAllocator(allocator);
}

}  // namespace segmora
