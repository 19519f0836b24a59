#pragma once

#include <cstddef>
#include <vector>

#include "block_pool.h"

namespace segmora {

// Vectors whose large blocks are backed by huge pages: the first touch of ordinary pages
// of fresh memory can cost more than the work done on them (on virtual machines, a page
// fault per 4 KiB), and the tiled path's lists and tables are made once and used once.

template <class T>
struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) {}

    T* allocate(size_t count) {
        size_t length = 0;
        bool mapped = false;
        return static_cast<T*>(BlockPool::allocateDetached(count * sizeof(T), length, mapped));
    }
    void deallocate(T* block, size_t count) { BlockPool::freeDetachedBytes(block, count * sizeof(T)); }

    template <class U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
    template <class U>
    bool operator!=(const HugePageAllocator<U>&) const {
        return false;
    }
};

template <class T>
using HugeVector = std::vector<T, HugePageAllocator<T>>;

// Room for `count` elements in a vector that is still empty, behind huge pages where it is
// large: for the plain vectors handed to callers.
template <class T>
void reserveOnHugePages(std::vector<T>& vector, size_t count) {
    vector.reserve(count);
    BlockPool::adviseHugePages(vector.data(), count * sizeof(T));
}

}  // namespace segmora
