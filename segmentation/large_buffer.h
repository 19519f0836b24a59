#pragma once

#include <cstddef>

namespace segmora {

// A heap block for the engine's big working arrays. Blocks of a few
// megabytes or more are mapped directly and marked for transparent huge
// pages: on machines that back memory lazily this makes the first touch of
// the pages many times cheaper. Released mappings are kept (up to 4 GiB) and
// handed to later requests that fit, so a stage reuses the pages an earlier
// one touched. The contents start unset. Throws std::bad_alloc when the
// memory cannot be had.
class LargeBuffer {
  public:
    LargeBuffer() = default;
    explicit LargeBuffer(size_t bytes);
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

  private:
    void* block = nullptr;
    size_t bytes = 0;
    bool mapped = false;
};

// Allocates `bytes` for OpenCV-sized matrices in the same way; used by the
// driver's matrix allocator.
void* allocateLarge(size_t bytes, bool& mapped);
void releaseLarge(void* block, bool mapped);

}  // namespace segmora
