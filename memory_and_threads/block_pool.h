#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <vector>

namespace segmora {

// Memory for big working arrays, owned by whoever uses it (a Segmenter, the program's matrix
// allocator). Blocks of a megabyte or more are mapped directly and marked for
// transparent huge pages: on machines that back memory lazily this makes the first touch of
// the pages many times cheaper. Released mappings are kept (up to `keepLimit` bytes) and
// handed to later requests that fit, so a stage reuses the pages an earlier one touched.
// Smaller blocks come from the ordinary heap. The pool may be used from several threads.
class BlockPool {
  public:
    static constexpr size_t kDefaultKeepLimit = size_t{4} << 30;

    explicit BlockPool(size_t keepLimit = kDefaultKeepLimit) : keepLimit(keepLimit) {}
    // Unmaps the kept mappings. Every block must have been released before.
    ~BlockPool();
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A block of `bytes` (contents unset); `mapped` tells release() where it came from.
    // Throws std::bad_alloc when the memory cannot be had.
    void* allocate(size_t bytes, bool& mapped);
    // What allocate() sets `mapped` to for a block of `bytes`.
    static bool isMapped(size_t bytes);
    void release(void* block, bool mapped);

    // Memory handed to a caller for good, given back with freeDetached(block, length,
    // mapped) whether or not the pool still exists. detachLive takes a live block of this
    // pool out of it, cut to its first `bytes` (the rest of a mapping is unmapped);
    // allocateDetached makes fresh memory that no pool ever held.
    void detachLive(void* block, bool mapped, size_t bytes, size_t& length);
    static void* allocateDetached(size_t bytes, size_t& length, bool& mapped);
    static void freeDetached(void* block, size_t length, bool mapped);
    // freeDetached for a block of allocateDetached(bytes, ...) known only by its byte count.
    static void freeDetachedBytes(void* block, size_t bytes);
    // Asks for huge pages behind the whole huge pages of [data, data + bytes): memory the
    // caller owns and has not touched yet (a large vector just reserved), whose first touch
    // is then many times cheaper.
    static void adviseHugePages(void* data, size_t bytes);

    // Gives the kept mappings back to the system.
    void trim();
    // Bytes of released mappings kept for reuse.
    size_t keptBytes() const;

  private:
    struct KeptBlock {
        void* block;
        size_t length;
    };
    KeptBlock takeKept(size_t length);

    const size_t keepLimit;
    mutable std::mutex lock;
    std::vector<KeptBlock> kept;           // released, ready for reuse
    std::map<void*, size_t> lengthsInUse;  // mapping length of each live mapped block
    size_t keptTotal = 0;
};

}  // namespace segmora
