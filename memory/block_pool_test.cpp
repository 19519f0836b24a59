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

}  // namespace
}  // namespace segmora
