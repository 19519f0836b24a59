#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

#include "block_pool.h"

namespace segmora {

// Vectors whose large blocks are backed by huge pages: the first touch of ordinary pages
// of fresh memory can cost more than the work done on them (on virtual machines, a page
// fault per 4 KiB), and the tiled path's lists and tables are made once and used once.
// An allocator made with a pool takes its blocks from the pool and gives them back to it,
// so that a worker's lists reuse the pages of the tile before; the pool must then outlive
// the vector. A copy of such a vector takes fresh memory (it may outlive the pool).

template <class T>
struct HugePageAllocator {
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    HugePageAllocator() = default;
    explicit HugePageAllocator(BlockPool* pool) : pool(pool) {}
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>& other) : pool(other.pool) {}

    T* allocate(size_t count) {
        bool mapped = false;
        if (pool != nullptr) return static_cast<T*>(pool->allocate(count * sizeof(T), mapped));
        size_t length = 0;
        return static_cast<T*>(BlockPool::allocateDetached(count * sizeof(T), length, mapped));
    }
    void deallocate(T* block, size_t count) {
        if (pool != nullptr) {
            pool->release(block, BlockPool::isMapped(count * sizeof(T)));
        } else {
            BlockPool::freeDetachedBytes(block, count * sizeof(T));
        }
    }
    HugePageAllocator select_on_container_copy_construction() const { return {}; }

    template <class U>
    bool operator==(const HugePageAllocator<U>& other) const {
        return pool == other.pool;
    }
    template <class U>
    bool operator!=(const HugePageAllocator<U>& other) const {
        return pool != other.pool;
    }

    BlockPool* pool = nullptr;
};

template <class T>
using HugeVector = std::vector<T, HugePageAllocator<T>>;

// An empty vector whose blocks come from `pool`.
template <class T>
HugeVector<T> pooledVector(BlockPool& pool) {
    return HugeVector<T>(HugePageAllocator<T>(&pool));
}

// Room for `count` elements in a vector that is still empty, behind huge pages where it is
// large: for the plain vectors handed to callers.
template <class T>
void reserveOnHugePages(std::vector<T>& vector, size_t count) {
    vector.reserve(count);
    BlockPool::adviseHugePages(vector.data(), count * sizeof(T));
}

}  // namespace segmora
