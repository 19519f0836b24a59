#include "large_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace segmora {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMapFrom = size_t{4} << 20;

size_t roundedUp(size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// Released mappings are kept for later requests: reusing pages that are
// already backed costs nothing, while fresh ones must be faulted in and
// cleared. The cache holds at most kCacheLimit bytes.
constexpr size_t kCacheLimit = size_t{4} << 30;

struct CachedBlock {
    void* block;
    size_t length;
};

struct BlockCache {
    std::mutex lock;
    std::vector<CachedBlock> blocks;       // released, ready for reuse
    std::map<void*, size_t> lengthsInUse;  // mapping length of each live block
    size_t total = 0;
};

BlockCache& blockCache() {
    static BlockCache* cache = new BlockCache;  // never destroyed: used until exit
    return *cache;
}

// The smallest cached mapping of at least `length` bytes, or none.
CachedBlock takeCached(size_t length) {
    BlockCache& cache = blockCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    auto best = cache.blocks.end();
    for (auto it = cache.blocks.begin(); it != cache.blocks.end(); ++it) {
        if (it->length >= length && (best == cache.blocks.end() || it->length < best->length))
            best = it;
    }
    if (best == cache.blocks.end()) return CachedBlock{nullptr, 0};
    const CachedBlock taken = *best;
    cache.total -= taken.length;
    cache.blocks.erase(best);
    return taken;
}

void* mapHuge(size_t bytes) {
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

}  // namespace

void* allocateLarge(size_t bytes, bool& mapped) {
    mapped = bytes >= kMapFrom;
    if (!mapped) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    CachedBlock taken = takeCached(roundedUp(bytes));
    if (taken.block == nullptr) taken = CachedBlock{mapHuge(bytes), roundedUp(bytes)};
    BlockCache& cache = blockCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    cache.lengthsInUse[taken.block] = taken.length;
    return taken.block;
}

void releaseLarge(void* block, bool mapped) {
    if (block == nullptr) return;
    if (!mapped) {
        std::free(block);
        return;
    }
    BlockCache& cache = blockCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    const auto found = cache.lengthsInUse.find(block);
    const size_t length = found->second;
    cache.lengthsInUse.erase(found);
    if (cache.total + length <= kCacheLimit) {
        cache.blocks.push_back(CachedBlock{block, length});
        cache.total += length;
    } else {
        ::munmap(block, length);
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
    releaseLarge(block, mapped);
    block = nullptr;
    bytes = 0;
}

}  // namespace segmora
