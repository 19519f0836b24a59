#include "block_pool.h"

#include <gtest/gtest.h>

#include <cstring>

#include "large_buffer.h"

namespace segmora {
namespace {

constexpr size_t kMB = size_t{1} << 20;

TEST(BlockPool, ReleasedMappingIsReusedByASmallerRequest) {
    BlockPool pool;
    void* first = nullptr;
    {
        LargeBuffer big(pool, 10 * kMB);
        first = big.as<void>();
        std::memset(first, 1, big.size());
    }
    EXPECT_EQ(pool.keptBytes(), 10 * kMB);
    LargeBuffer smaller(pool, 6 * kMB);
    EXPECT_EQ(smaller.as<void>(), first);
    EXPECT_EQ(pool.keptBytes(), 0u);
}

TEST(BlockPool, SmallestFittingMappingIsTakenAndSmallBlocksAreNotKept) {
    BlockPool pool;
    LargeBuffer a(pool, 8 * kMB), b(pool, 20 * kMB), small(pool, 1000);
    void* eight = a.as<void>();
    a.release();
    b.release();
    small.release();
    EXPECT_EQ(pool.keptBytes(), 28 * kMB);
    LargeBuffer c(pool, 5 * kMB);
    EXPECT_EQ(c.as<void>(), eight);
}

TEST(BlockPool, KeepLimitAndTrimGiveMappingsBack) {
    BlockPool pool(12 * kMB);
    LargeBuffer a(pool, 8 * kMB), b(pool, 8 * kMB);
    a.release();
    b.release();  // would pass the limit: unmapped at once
    EXPECT_EQ(pool.keptBytes(), 8 * kMB);
    pool.trim();
    EXPECT_EQ(pool.keptBytes(), 0u);
    LargeBuffer again(pool, 8 * kMB);  // still usable after trimming
    std::memset(again.as<void>(), 0, again.size());
}

TEST(LargeBuffer, MovesHandOverTheBlockOnce) {
    BlockPool pool;
    LargeBuffer a(pool, 5 * kMB);
    void* block = a.as<void>();
    LargeBuffer b(std::move(a));
    EXPECT_EQ(a.as<void>(), nullptr);
    EXPECT_EQ(b.as<void>(), block);
    LargeBuffer c;
    c = std::move(b);
    EXPECT_EQ(c.as<void>(), block);
    EXPECT_EQ(pool.keptBytes(), 0u);
    c.release();
    EXPECT_EQ(pool.keptBytes(), 6 * kMB);  // rounded up to whole huge pages
}

TEST(BlockPool, DetachedBlocksLeaveThePoolCutToSize) {
    BlockPool pool;
    LargeBuffer big(pool, 20 * kMB);
    void* start = big.as<void>();
    std::memset(start, 7, big.size());
    size_t length = 0;
    bool mapped = false;
    void* detached = big.detachStart(5 * kMB, length, mapped);
    EXPECT_EQ(detached, start);
    EXPECT_EQ(big.as<void>(), nullptr);
    EXPECT_TRUE(mapped);
    EXPECT_EQ(length, 6 * kMB);  // whole huge pages; the other 14 MB are unmapped
    EXPECT_EQ(static_cast<unsigned char*>(detached)[5 * kMB - 1], 7);
    big.release();
    EXPECT_EQ(pool.keptBytes(), 0u);
    BlockPool::freeDetached(detached, length, mapped);

    LargeBuffer small(pool, 1000);
    void* heap = small.detachStart(400, length, mapped);
    EXPECT_FALSE(mapped);
    BlockPool::freeDetached(heap, length, mapped);
    void* fresh = BlockPool::allocateDetached(9 * kMB, length, mapped);
    EXPECT_EQ(length, 10 * kMB);
    std::memset(fresh, 1, 9 * kMB);
    BlockPool::freeDetached(fresh, length, mapped);
}

}  // namespace
}  // namespace segmora
