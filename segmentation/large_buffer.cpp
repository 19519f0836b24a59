#include "large_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

namespace segmora {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMapFrom = size_t{4} << 20;

size_t roundedUp(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* allocateLarge(size_t bytes, bool& mapped) {
    mapped = bytes >= kMapFrom;
    if (!mapped) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    // Over-map by one huge page so that the block can start on a boundary.
    const size_t length = roundedUp(bytes) + kHugePage;
    void* raw = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) ::munmap(raw, aligned - start);
    const size_t tail = (start + length) - (aligned + roundedUp(bytes));
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + roundedUp(bytes)), tail);
    ::madvise(reinterpret_cast<void*>(aligned), roundedUp(bytes), MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void releaseLarge(void* block, size_t bytes, bool mapped) {
    if (block == nullptr) return;
    if (mapped) {
        ::munmap(block, roundedUp(bytes));
    } else {
        std::free(block);
    }
}

LargeBuffer::LargeBuffer(size_t bytes) : bytes(bytes) {
    bool isMapped = false;
    block = allocateLarge(bytes, isMapped);
    mapped = isMapped;
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : block(std::exchange(other.block, nullptr)),
      bytes(std::exchange(other.bytes, 0)),
      mapped(other.mapped) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        block = std::exchange(other.block, nullptr);
        bytes = std::exchange(other.bytes, 0);
        mapped = other.mapped;
    }
    return *this;
}

void LargeBuffer::release() {
    releaseLarge(block, bytes, mapped);
    block = nullptr;
    bytes = 0;
}

}  // namespace segmora
