#include "large_buffer.h"

#include <utility>

namespace segmora {

LargeBuffer::LargeBuffer(BlockPool& pool, size_t bytes) : pool(&pool), bytes(bytes) {
    bool isMapped = false;
    block = pool.allocate(bytes, isMapped);
    mapped = isMapped;
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : pool(other.pool),
      block(std::exchange(other.block, nullptr)),
      bytes(std::exchange(other.bytes, 0)),
      mapped(other.mapped) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        pool = other.pool;
        block = std::exchange(other.block, nullptr);
        bytes = std::exchange(other.bytes, 0);
        mapped = other.mapped;
    }
    return *this;
}

void* LargeBuffer::detachStart(size_t bytes, size_t& length, bool& isMapped) {
    void* start = std::exchange(block, nullptr);
    isMapped = mapped;
    if (start != nullptr) pool->detachLive(start, mapped, bytes, length);
    this->bytes = 0;
    return start;
}

void LargeBuffer::release() {
    if (block != nullptr) pool->release(block, mapped);
    block = nullptr;
    bytes = 0;
}

}  // namespace segmora
