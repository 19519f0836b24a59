#include "block_pool.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace segmora {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMapFrom = size_t{1} << 20;

size_t roundedUp(size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
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

BlockPool::~BlockPool() {
    trim();
}

// The smallest kept mapping of at least `length` bytes, or none.
BlockPool::KeptBlock BlockPool::takeKept(size_t length) {
    std::lock_guard<std::mutex> guard(lock);
    auto best = kept.end();
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->length >= length && (best == kept.end() || it->length < best->length)) best = it;
    }
    if (best == kept.end()) return KeptBlock{nullptr, 0};
    const KeptBlock taken = *best;
    keptTotal -= taken.length;
    kept.erase(best);
    return taken;
}

bool BlockPool::isMapped(size_t bytes) {
    return bytes >= kMapFrom;
}

void* BlockPool::allocate(size_t bytes, bool& mapped) {
    mapped = isMapped(bytes);
    if (!mapped) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    KeptBlock taken = takeKept(roundedUp(bytes));
    if (taken.block == nullptr) taken = KeptBlock{mapHuge(bytes), roundedUp(bytes)};
    std::lock_guard<std::mutex> guard(lock);
    try {
        lengthsInUse[taken.block] = taken.length;
    } catch (...) {
        ::munmap(taken.block, taken.length);
        throw;
    }
    return taken.block;
}

void BlockPool::release(void* block, bool mapped) {
    if (block == nullptr) return;
    if (!mapped) {
        std::free(block);
        return;
    }
    std::lock_guard<std::mutex> guard(lock);
    const auto found = lengthsInUse.find(block);
    const size_t length = found->second;
    lengthsInUse.erase(found);
    if (keptTotal + length <= keepLimit) {
        try {
            kept.push_back(KeptBlock{block, length});
            keptTotal += length;
            return;
        } catch (...) {  // no room to note it: give it back instead
        }
    }
    ::munmap(block, length);
}

void BlockPool::detachLive(void* block, bool mapped, size_t bytes, size_t& length) {
    length = bytes;
    if (!mapped) return;
    std::lock_guard<std::mutex> guard(lock);
    const auto found = lengthsInUse.find(block);
    const size_t mappedLength = found->second;
    lengthsInUse.erase(found);
    length = std::min(roundedUp(bytes), mappedLength);
    if (mappedLength > length) ::munmap(static_cast<char*>(block) + length, mappedLength - length);
}

void* BlockPool::allocateDetached(size_t bytes, size_t& length, bool& mapped) {
    mapped = bytes >= kMapFrom;
    length = mapped ? roundedUp(bytes) : bytes;
    if (mapped) return mapHuge(bytes);
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void BlockPool::freeDetached(void* block, size_t length, bool mapped) {
    if (block == nullptr) return;
    if (mapped) {
        ::munmap(block, length);
    } else {
        std::free(block);
    }
}

void BlockPool::freeDetachedBytes(void* block, size_t bytes) {
    const bool mapped = bytes >= kMapFrom;
    freeDetached(block, mapped ? roundedUp(bytes) : bytes, mapped);
}

void BlockPool::adviseHugePages(void* data, size_t bytes) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (start + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t end = (start + bytes) / kHugePage * kHugePage;
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

void BlockPool::trim() {
    std::lock_guard<std::mutex> guard(lock);
    for (const KeptBlock& block : kept) ::munmap(block.block, block.length);
    kept.clear();
    kept.shrink_to_fit();
    keptTotal = 0;
}

size_t BlockPool::keptBytes() const {
    std::lock_guard<std::mutex> guard(lock);
    return keptTotal;
}

}  // namespace segmora
