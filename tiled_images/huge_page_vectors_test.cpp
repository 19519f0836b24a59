// Lists whose blocks come from a worker's pool: given back to it for the next tile, and
// copies that take fresh memory, so that a copy may outlive the pool.
#include "huge_page_vectors.h"

#include <gtest/gtest.h>

namespace segmora {
namespace {

TEST(HugeVectors, PooledBlocksGoBackToThePoolAndCopiesLeaveIt) {
    constexpr size_t kCount = size_t{1} << 20;  // 4 MB of ints: a mapped block
    HugeVector<int> kept;
    {
        BlockPool pool;
        {
            HugeVector<int> list = pooledVector<int>(pool);
            list.assign(kCount, 7);
            HugeVector<int> copy(list);
            EXPECT_EQ(copy.get_allocator().pool, nullptr);
            kept = list;  // copy assignment keeps the target's own memory
            EXPECT_EQ(kept.get_allocator().pool, nullptr);
            HugeVector<int> moved = std::move(list);  // the block goes along, still the pool's
            EXPECT_EQ(moved.get_allocator().pool, &pool);
        }
        const size_t back = pool.keptBytes();
        EXPECT_GE(back, kCount * sizeof(int));
        HugeVector<int> again = pooledVector<int>(pool);
        again.reserve(kCount);  // the next tile's list takes the same block
        EXPECT_EQ(pool.keptBytes(), 0u);
    }
    EXPECT_EQ(kept.size(), kCount);  // the pool is gone; the copy is not
    EXPECT_EQ(kept.back(), 7);
}

}  // namespace
}  // namespace segmora
