#include "label_matrix.h"

#include <new>

namespace segmora {

namespace {

// Frees detached blocks. It holds no data, so one constant instance serves
// every matrix of every pool; it never makes new blocks.
class DetachedBlocks : public cv::MatAllocator {
  public:
    cv::UMatData* allocate(int, const int*, int, void*, size_t*, cv::AccessFlag,
                           cv::UMatUsageFlags) const override {
        return nullptr;
    }
    bool allocate(cv::UMatData* data, cv::AccessFlag, cv::UMatUsageFlags) const override {
        return data != nullptr;  // the block is there already
    }
    void deallocate(cv::UMatData* u) const override {
        if (u == nullptr) return;
        BlockPool::freeDetached(u->origdata, u->size, u->allocatorFlags_ == 1);
        delete u;
    }
};

const DetachedBlocks& detachedBlocks() {
    static const DetachedBlocks blocks;
    return blocks;
}

// Allocates from `spent` (or fresh memory) for one create() call; the matrix
// it makes is then released through DetachedBlocks.
class SpentBlockCreation : public cv::MatAllocator {
  public:
    explicit SpentBlockCreation(LargeBuffer& spent) : spent(spent) {}

    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                           cv::AccessFlag, cv::UMatUsageFlags) const override {
        if (data != nullptr) throw std::bad_alloc();  // never asked for by create()
        size_t total = CV_ELEM_SIZE(type);
        for (int i = dims - 1; i >= 0; --i) {
            if (step != nullptr) step[i] = total;
            total *= static_cast<size_t>(sizes[i]);
        }
        size_t length = 0;
        bool mapped = false;
        void* block = spent.as<void>() != nullptr && spent.size() >= total
                          ? spent.detachStart(total, length, mapped)
                          : BlockPool::allocateDetached(total, length, mapped);
        auto* u = new (std::nothrow) cv::UMatData(&detachedBlocks());
        if (u == nullptr) {
            BlockPool::freeDetached(block, length, mapped);
            throw std::bad_alloc();
        }
        u->data = u->origdata = static_cast<uchar*>(block);
        u->size = length;
        u->allocatorFlags_ = mapped ? 1 : 0;
        return u;
    }
    bool allocate(cv::UMatData* data, cv::AccessFlag, cv::UMatUsageFlags) const override {
        return data != nullptr;
    }
    void deallocate(cv::UMatData* u) const override { detachedBlocks().deallocate(u); }

  private:
    LargeBuffer& spent;
};

}  // namespace

cv::Mat_<int> labelMatrixIn(LargeBuffer& spent, int rows, int cols) {
    SpentBlockCreation creation(spent);
    cv::Mat_<int> labels;
    labels.allocator = &creation;
    labels.create(rows, cols);
    labels.allocator = nullptr;  // later create() calls use the default allocator
    return labels;
}

}  // namespace segmora
