#pragma once

#include <cstddef>

#include "block_pool.h"

namespace segmora {

// A block of a BlockPool, given back when the buffer is released or destroyed. The pool
// must outlive the buffer. The contents start unset.
class LargeBuffer {
  public:
    LargeBuffer() = default;
    LargeBuffer(BlockPool& pool, size_t bytes);
    ~LargeBuffer() { release(); }
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    template <class T>
    T* as() const {
        return static_cast<T*>(block);
    }
    size_t size() const { return bytes; }
    void release();

    // Hands the block's first `bytes` (at most size()) to the caller for good, to be given
    // back with BlockPool::freeDetached(block, length, mapped); the rest of it goes back to
    // the system. The buffer is left empty.
    void* detachStart(size_t bytes, size_t& length, bool& isMapped);

  private:
    BlockPool* pool = nullptr;
    void* block = nullptr;
    size_t bytes = 0;
    bool mapped = false;
};

}  // namespace segmora
